#pragma once

#include "app/HostWiring.h"
#include "app/LampWidget.h"
#include "app/Program.h"
#include "app/ResponseBox.h"
#include "core/ComLinks.h"
#include "serial/PlatformSerialPort.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

// The tool as main() wires it, over the host's serial layer, with its COM links in a folder of
// its own; and the hands of an operator on its window.
class HostTool
{
public:
    HostTool()
    {
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
        QDir().mkpath(QString::fromStdString(tolvane::linkDirectory()));
        wireHostPort(program.window(), port);
        program.window().setCloseHandler(nullptr); // closing would end the test process
        program.window().show();
    }

    QString configPath() const { return config.path(); }
    template<typename T>
    T *find(const char *name)
    {
        return qobject_cast<T *>(program.window().control(QString::fromLatin1(name)));
    }
    void click(const char *button) { QTest::mouseClick(find<QPushButton>(button), Qt::LeftButton); }
    bool pick(const char *list, const QString &entry)
    {
        auto *box = find<QComboBox>(list);
        const int index = box->findText(entry);
        if (index < 0)
            return false;
        box->setCurrentIndex(index);
        emit box->activated(index);
        return true;
    }
    void type(const char *box, const QString &text) { find<QLineEdit>(box)->setText(text); }
    void pressEnter() { QTest::keyClick(find<QLineEdit>("Text2"), Qt::Key_Return); }
    QColor lamp() { return find<LampWidget>("Shape1")->fillColor(); }
    QString lampToolTip() { return find<LampWidget>("Shape1")->toolTip(); }
    QString response() { return find<ResponseBox>("Text1")->text(); }

    QTemporaryDir config; // first: the others read XDG_CONFIG_HOME
    PlatformSerialPort port;
    Program program{port};
};
