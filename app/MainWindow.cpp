#include "app/MainWindow.h"

#include "app/ControlTable.h"
#include "app/LampWidget.h"
#include "app/ListBox.h"
#include "core/DisplayText.h"
#include "core/Operations.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>

#include <algorithm>
#include <vector>

namespace {

QRect pixels(const ControlRow &row)
{
    return QRect(row.left / TwipsPerPixel, row.top / TwipsPerPixel, row.width / TwipsPerPixel,
                 row.height / TwipsPerPixel);
}

// The window's own font must show Chinese; 12 px matches the lists' 300-twip height.
QFont windowFont()
{
    QFont font;
    font.setFamilies({QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC"),
                      QStringLiteral("Droid Sans Fallback"), QStringLiteral("Sans Serif")});
    font.setPixelSize(12);
    return font;
}

QFont textBoxFont()
{
    QFont font(QStringLiteral("Times New Roman"), 15, QFont::Bold);
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    return font;
}

// Drawn on two lines at the slash when one line would not fit the button.
QString buttonLabel(const QString &caption, const QFontMetrics &metrics, int width)
{
    const int slash = caption.indexOf(u'/');
    if (slash < 0 || metrics.horizontalAdvance(caption) <= width - 8)
        return caption;
    return caption.left(slash + 1) + u'\n' + caption.mid(slash + 1);
}

QPlainTextEdit *makeTextArea(QWidget *parent)
{
    auto *area = new QPlainTextEdit(parent);
    area->setUndoRedoEnabled(false); // a log that only grows must not keep an undo history
    area->setTabChangesFocus(true);
    return area;
}

QWidget *makeControl(const ControlRow &row, QWidget *parent)
{
    const QString caption = QString::fromUtf16(row.caption);
    switch (row.kind) {
    case ControlKind::Button: {
        auto *button = new QPushButton(parent);
        button->setAutoDefault(false);
        button->setAccessibleName(caption);
        button->setText(
            buttonLabel(caption, QFontMetrics(windowFont()), row.width / TwipsPerPixel));
        return button;
    }
    case ControlKind::Label: {
        auto *label = new QLabel(caption, parent);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        return label;
    }
    case ControlKind::Frame:
        return new QGroupBox(caption, parent);
    case ControlKind::TextBox: {
        auto *box = new QLineEdit(caption, parent);
        box->setReadOnly(row.readOnly);
        box->setCursorPosition(0);
        return box;
    }
    case ControlKind::MultiLineTextBox: {
        auto *box = makeTextArea(parent);
        box->setReadOnly(row.readOnly);
        return box;
    }
    case ControlKind::LogView: {
        auto *log = makeTextArea(parent);
        log->setBackgroundRole(QPalette::Base);
        return log;
    }
    case ControlKind::List:
        return new ListBox(parent);
    case ControlKind::Lamp:
        return new LampWidget(parent);
    case ControlKind::SerialComponent:
    case ControlKind::FileDialogComponent:
        return nullptr; // no place on the screen
    }
    return nullptr;
}

const char *listName(WindowControls::List list)
{
    switch (list) {
    case WindowControls::List::Com:
        return "Combo1";
    case WindowControls::List::ModuleBaud:
        return "Combo2";
    case WindowControls::List::Format:
        return "Combo3";
    case WindowControls::List::Protocol:
        return "Combo4";
    case WindowControls::List::LinkBaud:
        return "Combo5";
    }
    return "";
}

} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QWidget(parent)
{
    setWindowTitle(QStringLiteral("Tolvane"));
    setFont(windowFont());
    // No control follows the window's size, so the window keeps its one size.
    setFixedSize(ClientWidthTwips / TwipsPerPixel, ClientHeightTwips / TwipsPerPixel);
    buildControls();
    setTabOrder();
    m_controls.value(QStringLiteral("Command1"))->setFocus();
}

void MainWindow::buildControls()
{
    for (const ControlRow &row : controlTable) {
        const QString container = QString::fromLatin1(row.container);
        QWidget *parent = container.isEmpty() ? this : m_controls.value(container);
        QWidget *widget = makeControl(row, parent);
        if (!widget)
            continue;
        widget->setObjectName(QString::fromLatin1(row.name));
        widget->setGeometry(pixels(row));
        widget->setToolTip(QString::fromUtf8(row.toolTip));
        if (row.ownFont)
            widget->setFont(textBoxFont());
        if (row.tabIndex < 0 || row.kind == ControlKind::Label || row.kind == ControlKind::Frame)
            widget->setFocusPolicy(Qt::NoFocus);
        m_controls.insert(widget->objectName(), widget);
    }
    m_lamp = static_cast<LampWidget *>(m_controls.value(QStringLiteral("Shape1")));
    connect(list(List::Com), &ListBox::popupAboutToShow, this, &MainWindow::refreshComToolTips);
}

// Ascending tab index across frame boundaries, over the controls that take focus.
void MainWindow::setTabOrder()
{
    std::vector<const ControlRow *> rows;
    for (const ControlRow &row : controlTable) {
        QWidget *widget = m_controls.value(QString::fromLatin1(row.name));
        if (widget && widget->focusPolicy() != Qt::NoFocus)
            rows.push_back(&row);
    }
    std::sort(rows.begin(), rows.end(),
              [](const ControlRow *a, const ControlRow *b) { return a->tabIndex < b->tabIndex; });
    for (std::size_t i = 1; i < rows.size(); ++i) {
        QWidget::setTabOrder(m_controls.value(QString::fromLatin1(rows[i - 1]->name)),
                             m_controls.value(QString::fromLatin1(rows[i]->name)));
    }
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
    connect(lineEdit("Text2"), &QLineEdit::returnPressed, this,
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
    m_comToolTips = std::move(source);
    refreshComToolTips();
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

ListBox *MainWindow::list(List which) const
{
    return static_cast<ListBox *>(m_controls.value(QString::fromLatin1(listName(which))));
}

QLineEdit *MainWindow::lineEdit(const char *name) const
{
    return static_cast<QLineEdit *>(m_controls.value(QString::fromLatin1(name)));
}

QPlainTextEdit *MainWindow::textArea(const char *name) const
{
    return static_cast<QPlainTextEdit *>(m_controls.value(QString::fromLatin1(name)));
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
    if (which == List::Com)
        refreshComToolTips();
}

QString MainWindow::commandText() const
{
    return lineEdit("Text2")->text();
}

void MainWindow::setCommandText(const QString &text)
{
    lineEdit("Text2")->setText(text);
}

void MainWindow::setSentCommandText(const QString &text)
{
    lineEdit("Text3")->setText(displayText(text));
}

void MainWindow::setResponseText(const QString &text)
{
    textArea("Text1")->setPlainText(displayText(text));
}

QString MainWindow::addressText() const
{
    return lineEdit("Text4")->text();
}

QString MainWindow::intervalText() const
{
    return lineEdit("Text5")->text();
}

void MainWindow::setLampColor(LampColor color)
{
    m_lamp->setFillColor(QColor(color.red, color.green, color.blue));
}

// Insert at the top instead of replacing the whole text: the cost is the entry's, not the log's.
void MainWindow::showLogEntryOnTop(const QString &entry)
{
    QTextCursor top(textArea("RichTextBox1")->document());
    top.movePosition(QTextCursor::Start);
    top.insertText(displayText(entry));
}

void MainWindow::setLogReadOnly(bool readOnly)
{
    textArea("RichTextBox1")->setReadOnly(readOnly);
}
