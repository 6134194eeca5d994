#include "app/WindowLook.h"

#include <QFontMetrics>
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

// Ascending tab index across frame boundaries, over the controls that take focus.
void setTabOrder(const QHash<QString, QWidget *> &controls)
{
    std::vector<const ControlRow *> rows;
    for (const ControlRow &row : controlTable) {
        QWidget *widget = controls.value(QString::fromLatin1(row.name));
        if (widget && widget->focusPolicy() != Qt::NoFocus)
            rows.push_back(&row);
    }
    std::sort(rows.begin(), rows.end(),
              [](const ControlRow *a, const ControlRow *b) { return a->tabIndex < b->tabIndex; });
    for (std::size_t i = 1; i < rows.size(); ++i) {
        QWidget::setTabOrder(controls.value(QString::fromLatin1(rows[i - 1]->name)),
                             controls.value(QString::fromLatin1(rows[i]->name)));
    }
}

} // namespace

// 12 px matches the lists' 300-twip height.
QFont windowFont()
{
    QFont font;
    font.setFamilies({QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC"),
                      QStringLiteral("Droid Sans Fallback"), QStringLiteral("Sans Serif")});
    font.setPixelSize(12);
    return font;
}

QWidget *makeStandardControl(const ControlRow &row, QWidget *parent)
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
    default:
        return nullptr;
    }
}

QHash<QString, QWidget *> buildWindow(QWidget &window, const ControlMaker &make)
{
    window.setWindowTitle(QStringLiteral("Tolvane"));
    window.setFont(windowFont());
    // No control follows the window's size, so the window keeps its one size.
    window.setFixedSize(ClientWidthTwips / TwipsPerPixel, ClientHeightTwips / TwipsPerPixel);
    QHash<QString, QWidget *> controls;
    for (const ControlRow &row : controlTable) {
        const QString container = QString::fromLatin1(row.container);
        QWidget *parent = container.isEmpty() ? &window : controls.value(container);
        QWidget *widget = make(row, parent);
        if (!widget)
            continue;
        widget->setObjectName(QString::fromLatin1(row.name));
        widget->setGeometry(pixels(row));
        widget->setToolTip(QString::fromUtf8(row.toolTip));
        if (row.ownFont)
            widget->setFont(textBoxFont());
        if (row.tabIndex < 0 || row.kind == ControlKind::Label || row.kind == ControlKind::Frame)
            widget->setFocusPolicy(Qt::NoFocus);
        controls.insert(widget->objectName(), widget);
    }
    setTabOrder(controls);
    controls.value(QStringLiteral("Command1"))->setFocus();
    return controls;
}
