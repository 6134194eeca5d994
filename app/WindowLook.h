#pragma once

#include "app/ControlTable.h"

#include <QHash>
#include <QString>

#include <functional>

class QFont;
class QWidget;

// How the window looks: its title, font and size, and its controls with their geometry, captions,
// fonts, tooltips, tab order and first focus, all from the control table. The tool's window and
// the benchmark's window of the same controls without the tool's logic are both built by it.

// The tool's font, which must show Chinese: the companion programs' windows use it too.
QFont windowFont();

// Makes the control of one table row as a child of `parent`; nullptr for the non-visual ones.
using ControlMaker = std::function<QWidget *(const ControlRow &row, QWidget *parent)>;

// Buttons, labels, frames and one-line text boxes; nullptr for the other kinds.
QWidget *makeStandardControl(const ControlRow &row, QWidget *parent);

// Gives `window` the tool's title, font and fixed size and builds the table's controls in it with
// `make`, in table order, each named after its row. Returns the controls by name.
QHash<QString, QWidget *> buildWindow(QWidget &window, const ControlMaker &make);
