#pragma once

#include "core/WindowControls.h"

#include <QHash>
#include <QWidget>

#include <functional>

class LampWidget;
class ListBox;
class Operations;
class QLineEdit;
class QPlainTextEdit;

// The one window: its controls come from the control table; it shows what the operations hand
// it and passes each handled event to one operation.
class MainWindow : public QWidget, public WindowControls
{
    Q_OBJECT
public:
    explicit MainWindow(QWidget *parent = nullptr);

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
    void showLogEntryOnTop(const QString &entry) override;
    void setLogReadOnly(bool readOnly) override;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildControls();
    void setTabOrder();
    void refreshComToolTips();
    ListBox *list(List which) const;
    QLineEdit *lineEdit(const char *name) const;
    QPlainTextEdit *textArea(const char *name) const;

    QHash<QString, QWidget *> m_controls;
    LampWidget *m_lamp = nullptr;
    std::function<void()> m_closeHandler;
    std::function<QStringList()> m_comToolTips;
};
