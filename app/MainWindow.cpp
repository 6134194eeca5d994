#include "app/MainWindow.h"

#include "app/ControlTable.h"
#include "app/LampWidget.h"
#include "app/ListBox.h"
#include "app/ResponseBox.h"
#include "app/TextPane.h"
#include "core/CodeTables.h"
#include "core/DisplayText.h"
#include "core/Operations.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

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
    case ControlKind::MultiLineTextBox:
        return new ResponseBox(parent); // read-only
    case ControlKind::LogView:
        return new TextPane(parent);
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

} // namespace

MainWindow::MainWindow(const LogModel &log, QWidget *parent)
    : QWidget(parent)
    , m_logRows(log)
{
    setWindowTitle(QStringLiteral("Tolvane"));
    setFont(windowFont());
    // No control follows the window's size, so the window keeps its one size.
    setFixedSize(ClientWidthTwips / TwipsPerPixel, ClientHeightTwips / TwipsPerPixel);
    buildControls();
    setTabOrder();
    m_logView->setRows(&m_logRows);
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
        keepTyped(row.name, widget);
    }
    connect(list(List::Com), &ListBox::popupAboutToShow, this, &MainWindow::refreshComToolTips);
}

// The controls the operations reach, kept once with their types.
void MainWindow::keepTyped(const char *name, QWidget *widget)
{
    const QLatin1String is(name);
    const std::pair<const char *, List> lists[] = {{"Combo1", List::Com},
                                                   {"Combo2", List::ModuleBaud},
                                                   {"Combo3", List::Format},
                                                   {"Combo4", List::Protocol},
                                                   {"Combo5", List::LinkBaud}};
    for (const auto &[listName, which] : lists) {
        if (is == QLatin1String(listName))
            m_lists[std::size_t(which)] = static_cast<ListBox *>(widget);
    }
    const std::pair<const char *, QLineEdit **> boxes[] = {{"Text2", &m_commandBox},
                                                           {"Text3", &m_sentBox},
                                                           {"Text4", &m_addressBox},
                                                           {"Text5", &m_intervalBox}};
    for (const auto &[boxName, member] : boxes) {
        if (is == QLatin1String(boxName))
            *member = static_cast<QLineEdit *>(widget);
    }
    if (is == QLatin1String("Text1"))
        m_responseBox = static_cast<ResponseBox *>(widget);
    else if (is == QLatin1String("RichTextBox1"))
        m_logView = static_cast<TextPane *>(widget);
    else if (is == QLatin1String("Shape1"))
        m_lamp = static_cast<LampWidget *>(widget);
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
    if (which == List::Com)
        refreshComToolTips();
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
