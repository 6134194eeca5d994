// The second floor of the start-up figures: the tool's window with its 35 controls, captions,
// fonts and first entries, built from the tool's own control table, and nothing else: no port,
// no log, no operations. The tool's figure beside this one shows what the tool's own code adds;
// this one beside the bare window shows what Qt takes for these controls.
#include "app/LampWidget.h"
#include "app/WindowLook.h"
#include "core/CodeTables.h"
#include "core/ModuleCodes.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QComboBox>

namespace {

// Stock Qt widgets in place of the tool's own, set up as the tool's are: the text views are
// scroll areas on the base colour with a vertical bar (the response box wraps, so it has no
// horizontal one), the lists show the entries the tool starts with.
QAbstractScrollArea *textView(QWidget *parent, bool wraps)
{
    auto *view = new QAbstractScrollArea(parent);
    view->setFocusPolicy(Qt::StrongFocus);
    view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    if (wraps)
        view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->viewport()->setCursor(Qt::IBeamCursor);
    view->viewport()->setBackgroundRole(QPalette::Base);
    view->viewport()->setAutoFillBackground(true);
    return view;
}

QComboBox *list(const ControlRow &row, QWidget *parent)
{
    const QString name = QString::fromLatin1(row.name);
    const QString baud = QString::number(tolvane::kDefaultBaudRate);
    QStringList entries;
    QString shown;
    if (name == QLatin1String("Combo1")) {
        entries = comEntries();
        shown = entries.first();
    } else if (name == QLatin1String("Combo2") || name == QLatin1String("Combo5")) {
        entries = baudRateEntries();
        shown = baud;
    } else if (name == QLatin1String("Combo3")) {
        entries = formatEntries();
        shown = entries.first();
    } else {
        entries = protocolEntries();
        shown = entries.first();
    }
    auto *box = new QComboBox(parent);
    box->addItems(entries);
    box->setCurrentIndex(box->findText(shown, Qt::MatchExactly | Qt::MatchCaseSensitive));
    return box;
}

QWidget *makeControl(const ControlRow &row, QWidget *parent)
{
    switch (row.kind) {
    case ControlKind::LogView:
        return textView(parent, false);
    case ControlKind::MultiLineTextBox:
        return textView(parent, true);
    case ControlKind::List:
        return list(row, parent);
    case ControlKind::Lamp:
        return new LampWidget(parent);
    default:
        return makeStandardControl(row, parent);
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QWidget window;
    buildWindow(window, makeControl);
    window.show();
    return application.exec();
}
