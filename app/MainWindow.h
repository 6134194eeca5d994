#pragma once

#include "app/LogRows.h"
#include "core/WindowControls.h"

#include <QHash>
#include <QWidget>

#include <array>
#include <functional>

class LampWidget;
class ListBox;
class LogModel;
class Operations;
class QLineEdit;
class ResponseBox;
class TextPane;

// The one window: its controls come from the control table; it shows what the operations hand
// it and passes each handled event to one operation. The log view draws from the log's store.
class MainWindow : public QWidget, public WindowControls
{
    Q_OBJECT
public:
    explicit MainWindow(const LogModel &log, QWidget *parent = nullptr);

    // Connects the handled events of the controls to their operations.
    void wire(Operations &operations);

    // What closing the window does; by default the window just closes.
    void setCloseHandler(std::function<void()> handler) { m_closeHandler = std::move(handler); }
    // Tooltips of the COM list's entries, in order, asked afresh whenever the list opens.
    void setComToolTipSource(std::function<QStringList()> source);
    void setLampToolTip(const QString &text);

    // A control by its name ("Combo1", "Command3", ...); nullptr for the non-visual ones.
    QWidget *control(const QString &name) const { return m_controls.value(name); }

    // WindowControls
    QString listText(List list) const override;
    void fillList(List list, const QStringList &entries, const QString &shown) override;
    QString commandText() const override;
    void setCommandText(const QString &text) override;
    void setSentCommandText(const QString &text) override;
    void setResponseText(const QString &text) override;
    QString addressText() const override;
    QString intervalText() const override;
    void setLampColor(LampColor color) override;
    void showNewLogEntry() override;
    void setLogContextMenu(bool enabled) override;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void keepTyped(const QString &name, QWidget *widget);
    void refreshComToolTips();
    ListBox *list(List which) const { return m_lists[std::size_t(which)]; }

    LogRows m_logRows;
    QHash<QString, QWidget *> m_controls;
    std::array<ListBox *, 5> m_lists{};
    QLineEdit *m_commandBox = nullptr;    // Text2
    QLineEdit *m_sentBox = nullptr;       // Text3
    QLineEdit *m_addressBox = nullptr;    // Text4
    QLineEdit *m_intervalBox = nullptr;   // Text5
    ResponseBox *m_responseBox = nullptr; // Text1
    TextPane *m_logView = nullptr;        // RichTextBox1
    LampWidget *m_lamp = nullptr;         // Shape1
    std::function<void()> m_closeHandler;
    std::function<QStringList()> m_comToolTips;
};
