#pragma once

#include <QByteArray>
#include <QString>

// What a view shows for an exact text. The pair CR LF breaks the line (it ends each log entry);
// every other character that would draw as nothing, or look like another, gets a visible
// stand-in of its own: a lone CR shows as "<CR>", NUL as "<NUL>", a C1 control as "<85>". So no
// received byte disappears or merges with its neighbour on screen. The exact text stays in core.
QString displayText(const QString &exact);

// The same from UTF-8 to UTF-8, appended to `out`: the log's store is UTF-8, and a view copies a
// million entries through this in one pass, most bytes unchanged.
void appendDisplayUtf8(QByteArray &out, const char *utf8, qsizetype size);

// UTF-8 back to text, keeping a leading U+FEFF, which QString::fromUtf8 takes for a byte-order
// mark and drops.
QString textFromUtf8(const QByteArray &utf8);

// No byte shows as more than this many ("<NUL>").
inline constexpr qsizetype MostShownPerByte = 5;
// Writes what `utf8` shows as at `to`, which has room for MostShownPerByte bytes a byte;
// returns the end of what it wrote.
char *writeDisplayUtf8(char *to, const char *utf8, qsizetype size);
