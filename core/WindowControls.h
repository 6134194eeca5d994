#pragma once

#include "core/LampColor.h"

#include <QString>
#include <QStringList>

// The window's controls as the operations see them: texts in and out, the lamp colour, the log
// view. The window decides how a text is drawn; the operations only hand over exact texts.
class WindowControls
{
public:
    enum class List {
        Com /* Combo1 */,
        ModuleBaud /* Combo2 */,
        Format /* Combo3 */,
        Protocol /* Combo4 */,
        LinkBaud /* Combo5 */
    };

    virtual ~WindowControls() = default;

    virtual QString listText(List list) const = 0;
    virtual void fillList(List list, const QStringList &entries, const QString &shown) = 0;

    virtual QString commandText() const = 0;                  // Text2
    virtual void setCommandText(const QString &text) = 0;     // Text2
    virtual void setSentCommandText(const QString &text) = 0; // Text3
    virtual void setResponseText(const QString &text) = 0;    // Text1
    virtual QString addressText() const = 0;                  // Text4
    virtual QString intervalText() const = 0;                 // Text5

    virtual void setLampColor(LampColor color) = 0; // Shape1

    // RichTextBox1 shows the log from its store: it is told when a new entry went on top.
    virtual void showNewLogEntry() = 0;
    // RichTextBox1's one setting: a right click offers Copy and Select All.
    virtual void setLogContextMenu(bool enabled) = 0;
};
