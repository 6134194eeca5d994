#pragma once

#include <QString>

// What a view shows for an exact text. The pair CR LF breaks the line (it ends each log entry);
// every other character that would draw as nothing, or look like another, gets a visible
// stand-in of its own: a lone CR shows as "<CR>", NUL as "<NUL>", a C1 control as "<85>". So no
// received byte disappears or merges with its neighbour on screen. The exact text stays in core.
QString displayText(const QString &exact);
