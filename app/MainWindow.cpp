#include "app/MainWindow.h"

#include "app/ControlTable.h"
#include "app/LampWidget.h"
#include "app/ListBox.h"
#include "app/ResponseBox.h"
#include "app/TextPane.h"
#include "app/WindowLook.h"
#include "core/CodeTables.h"
#include "core/DisplayText.h"
#include "core/Operations.h"

#include <QCloseEvent>
#include <QLineEdit>
#include <QPushButton>

namespace {

QWidget *makeControl(const ControlRow &row, QWidget *parent)
{
    switch (row.kind) {
    case ControlKind::MultiLineTextBox:
        return new ResponseBox(parent); // read-only
    case ControlKind::LogView:
        return new TextPane(parent);
    case ControlKind::List:
        return new ListBox(parent);
    case ControlKind::Lamp:
        return new LampWidget(parent);
    default:
        return makeStandardControl(row, parent);
    }
}

} // namespace

MainWindow::MainWindow(const LogModel &log, QWidget *parent)
    : QWidget(parent)
    , m_logRows(log)
{
    m_controls = buildWindow(*this, makeControl);
    for (auto control = m_controls.cbegin(); control != m_controls.cend(); ++control)
        keepTyped(control.key(), control.value());
    connect(list(List::Com), &ListBox::popupAboutToShow, this, &MainWindow::refreshComToolTips);
    m_logView->setRows(&m_logRows);
}

// The controls the operations reach, kept once with their types.
void MainWindow::keepTyped(const QString &name, QWidget *widget)
{
    const std::pair<const char *, List> lists[] = {{"Combo1", List::Com},
                                                   {"Combo2", List::ModuleBaud},
                                                   {"Combo3", List::Format},
                                                   {"Combo4", List::Protocol},
                                                   {"Combo5", List::LinkBaud}};
    for (const auto &[listName, which] : lists) {
        if (name == QLatin1String(listName))
            m_lists[std::size_t(which)] = static_cast<ListBox *>(widget);
    }
    const std::pair<const char *, QLineEdit **> boxes[] = {{"Text2", &m_commandBox},
                                                           {"Text3", &m_sentBox},
                                                           {"Text4", &m_addressBox},
                                                           {"Text5", &m_intervalBox}};
    for (const auto &[boxName, member] : boxes) {
        if (name == QLatin1String(boxName))
            *member = static_cast<QLineEdit *>(widget);
    }
    if (name == QLatin1String("Text1"))
        m_responseBox = static_cast<ResponseBox *>(widget);
    else if (name == QLatin1String("RichTextBox1"))
        m_logView = static_cast<TextPane *>(widget);
    else if (name == QLatin1String("Shape1"))
        m_lamp = static_cast<LampWidget *>(widget);
}

void MainWindow::wire(Operations &operations)
{
    auto onClick = [&](const char *name, void (Operations::*operation)()) {
        auto *button = qobject_cast<QPushButton *>(m_controls.value(QString::fromLatin1(name)));
        connect(button, &QPushButton::clicked, this,
                [&operations, operation] { (operations.*operation)(); });
    };
    auto onPick = [&](List which, void (Operations::*operation)()) {
        connect(list(which), &QComboBox::activated, this,
                [&operations, operation] { (operations.*operation)(); });
    };
    onPick(List::Com, &Operations::SelectPort);
    onClick("Command1", &Operations::OpenPort);
    onClick("Command2", &Operations::ClosePort);
    onClick("Command3", &Operations::SendCommand);
    connect(m_commandBox, &QLineEdit::returnPressed, this,
            [&operations] { operations.SendCommand(); });
    onPick(List::ModuleBaud, &Operations::SelectBaudCode);
    onPick(List::Format, &Operations::SelectFormatCode);
    onPick(List::Protocol, &Operations::SelectProtocolCode);
    onClick("Command4", &Operations::SetConfiguration);
    onClick("Command5", &Operations::SetProtocol);
    onClick("Command6", &Operations::StartRepeat);
    onClick("Command7", &Operations::StopRepeat);
    onClick("Command8", &Operations::SaveLog);
}

void MainWindow::setComToolTipSource(std::function<QStringList()> source)
{
    // Asked for when the list opens, not now: a scan of the host's ports at start-up would delay
    // the window for tooltips nobody sees until the list opens.
    m_comToolTips = std::move(source);
}

void MainWindow::refreshComToolTips()
{
    if (!m_comToolTips)
        return;
    const QStringList tips = m_comToolTips();
    ListBox *com = list(List::Com);
    for (int i = 0; i < com->count() && i < tips.size(); ++i)
        com->setItemData(i, tips.at(i), Qt::ToolTipRole);
}

void MainWindow::setLampToolTip(const QString &text)
{
    m_lamp->setToolTip(text);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (m_closeHandler)
        m_closeHandler();
    event->accept();
}

QString MainWindow::listText(List which) const
{
    return list(which)->currentText();
}

void MainWindow::fillList(List which, const QStringList &entries, const QString &shown)
{
    ListBox *box = list(which);
    box->clear();
    box->addItems(entries);
    box->setCurrentIndex(box->findText(shown, Qt::MatchExactly | Qt::MatchCaseSensitive));
    // Entries that are Chinese only say in English what they mean.
    for (int i = 0; i < box->count(); ++i) {
        const QString meaning = entryMeaning(entries.at(i));
        if (!meaning.isEmpty())
            box->setItemData(i, meaning, Qt::ToolTipRole);
    }
}

QString MainWindow::commandText() const
{
    return m_commandBox->text();
}

void MainWindow::setCommandText(const QString &text)
{
    m_commandBox->setText(text);
}

void MainWindow::setSentCommandText(const QString &text)
{
    m_sentBox->setText(displayText(text));
}

void MainWindow::setResponseText(const QString &text)
{
    m_responseBox->setText(displayText(text));
}

QString MainWindow::addressText() const
{
    return m_addressBox->text();
}

QString MainWindow::intervalText() const
{
    return m_intervalBox->text();
}

void MainWindow::setLampColor(LampColor color)
{
    m_lamp->setFillColor(QColor(color.red, color.green, color.blue));
}

void MainWindow::showNewLogEntry()
{
    m_logView->rowsPrepended();
}

void MainWindow::setLogContextMenu(bool enabled)
{
    m_logView->setContextMenuEnabled(enabled);
}
