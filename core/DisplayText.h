#pragma once

#include <QString>

// What a view shows for an exact text. The pair CR LF breaks the line (it ends each log entry);
// every other character that would draw as nothing, or look like another, gets a visible
// stand-in of its own: a lone CR shows as "<CR>", NUL as "<NUL>", a C1 control as "<85>". So no
// received byte disappears or merges with its neighbour on screen. The exact text stays in core.
QString displayText(const QString &exact);

// The same for exact text held as UTF-8, appended to `out`: the log's own store is UTF-8, and a
// view copies a million entries through this without making a QString of each.
void appendDisplayText(QString &out, const char *utf8, qsizetype size);
