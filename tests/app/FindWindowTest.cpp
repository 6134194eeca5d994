#include "SearchFakes.h"

#include "app/find/FindWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QtTest>

#include <algorithm>
#include <memory>

// Tolvane Find's window, offscreen, searching a fake line whose modules 0A (with a name and a
// firmware version) and 0B answer at 1200 baud.
class FindWindowTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<SearchRig> rig; // its line, pump and clock; the window runs its own search
    std::unique_ptr<FindWindow> window;

    template<typename T>
    T *find(const QString &name)
    {
        auto *widget = window->findChild<T *>(name);
        if (!widget)
            qFatal("no %s of the expected kind", qPrintable(name));
        return widget;
    }
    QTableWidget *table() { return find<QTableWidget>(QStringLiteral("foundTable")); }
    QString status() { return find<QLabel>(QStringLiteral("statusLabel"))->text(); }
    QPushButton *button(const char *name) { return find<QPushButton>(QLatin1String(name)); }
    QString cell(int row, int column) { return table()->item(row, column)->text(); }

    // COM3, 9600 and 1200 baud, the character protocol, addresses 08..0B.
    void chooseSmallSearch()
    {
        find<QComboBox>(QStringLiteral("comList"))->setCurrentIndex(2);
        for (const tolvane::BaudRate &baud : tolvane::kBaudRates) {
            find<QCheckBox>(QStringLiteral("rate%1").arg(baud.rate))
                ->setChecked(baud.rate == 9600 || baud.rate == 1200);
        }
        find<QCheckBox>(QStringLiteral("protocolModbus"))->setChecked(false);
        find<QSpinBox>(QStringLiteral("firstAddress"))->setValue(0x08);
        find<QSpinBox>(QStringLiteral("lastAddress"))->setValue(0x0B);
    }

private slots:
    void init()
    {
        rig = std::make_unique<SearchRig>();
        rig->line.replies = {{{"$0A2\r", 1200}, "!0A400300\r"},
                             {{"$0AM\r", 1200}, "!0ATV-4017\r"},
                             {{"$0AF\r", 1200}, "!0AA1.06\r"},
                             {{"$0B2\r", 1200}, "!0B400302\r"}};
        window = std::make_unique<FindWindow>(rig->line, rig->pump, rig->clock);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }
    void cleanup()
    {
        window.reset();
        rig.reset();
    }

    // Before Start the window says how long the search of the ticked boxes takes at most; the
    // search tries the likeliest rate first, finds the module with its name and firmware, says
    // what to pick in the tool; a selected row copies as tab-separated text.
    void findsModulesAndCopiesARow()
    {
        chooseSmallSearch();
        // Four silent probes at 9600 baud (27 ms each) and four at 1200 (71 ms each).
        QCOMPARE(status(), QStringLiteral("最长用时/At most 0.4 s if nothing answers (each reply "
                                          "adds its own time)"));

        QTest::mouseClick(button("startButton"), Qt::LeftButton);

        QCOMPARE(rig->line.com, 3);
        QCOMPARE(rig->line.writes.front().rate, 9600);
        QCOMPARE(table()->rowCount(), 2);
        QCOMPARE(cell(0, 0), QStringLiteral("COM3"));
        QCOMPARE(cell(0, 1), QStringLiteral("0A"));
        QCOMPARE(cell(0, 2), QStringLiteral("1200"));
        QCOMPARE(cell(0, 6), QStringLiteral("TV-4017"));
        QCOMPARE(cell(0, 7), QStringLiteral("A1.06"));
        const QString pick = cell(0, 4);
        for (const char *part : {"COM3", "1200", "#0A"})
            QVERIFY2(pick.contains(QLatin1String(part)), qPrintable(pick));
        QCOMPARE(cell(1, 1), QStringLiteral("0B"));
        QVERIFY2(status().contains(QLatin1String("Found 2")), qPrintable(status()));
        auto *bar = find<QProgressBar>(QStringLiteral("progressBar"));
        QCOMPARE(bar->value(), bar->maximum());
        QVERIFY(button("startButton")->isEnabled());
        QVERIFY(!button("stopButton")->isEnabled());

        table()->selectRow(0);
        table()->setFocus();
        QTest::keyClick(table(), Qt::Key_C, Qt::ControlModifier);
        const QStringList lines =
            QApplication::clipboard()->text().split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        const QStringList cells = lines.at(1).split(u'\t');
        QCOMPARE(cells.size(), table()->columnCount());
        for (int column = 0; column < table()->columnCount(); ++column)
            QCOMPARE(cells.at(column), cell(0, column));
    }

    // Stop, clicked while the search waits, ends it before the next probe: the module found
    // stays in the table and the addresses after it are never probed (how the search closes
    // the port on a stop is its own test). Closing the window does the same.
    void stopEndsAtOnceAndKeepsWhatWasFound_data()
    {
        QTest::addColumn<bool>("closeWindow");
        QTest::newRow("Stop") << false;
        QTest::newRow("window closed") << true;
    }
    void stopEndsAtOnceAndKeepsWhatWasFound()
    {
        QFETCH(bool, closeWindow);
        chooseSmallSearch();
        find<QCheckBox>(QStringLiteral("rate9600"))->setChecked(false);
        find<QSpinBox>(QStringLiteral("lastAddress"))->setValue(0x0F);
        bool clicked = false;
        rig->pump.everyPump = [&] {
            if (!clicked && table()->rowCount() == 1) {
                clicked = true;
                if (closeWindow)
                    window->close();
                else
                    QTest::mouseClick(button("stopButton"), Qt::LeftButton);
            }
        };

        QTest::mouseClick(button("startButton"), Qt::LeftButton);

        QVERIFY(clicked);
        QCOMPARE(table()->rowCount(), 1);
        QCOMPARE(cell(0, 1), QStringLiteral("0A"));
        QVERIFY(std::none_of(rig->line.writes.begin(), rig->line.writes.end(),
                             [](const FakeLine::Written &w) { return w.bytes == "$0C2\r"; }));
        QVERIFY2(status().contains(QLatin1String("Stopped")), qPrintable(status()));
        auto *bar = find<QProgressBar>(QStringLiteral("progressBar"));
        QVERIFY(bar->value() < bar->maximum());
    }

    // A search the boxes cannot describe: Start is off, the reason shows, nothing is sent.
    void badChoicesSendNothing_data()
    {
        QTest::addColumn<QString>("untick");
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("last");
        QTest::newRow("no protocol") << "protocolCharacter" << 0x08 << 0x0B;
        QTest::newRow("no rate") << "rate" << 0x08 << 0x0B;
        QTest::newRow("range backwards") << "" << 0x0B << 0x08;
    }
    void badChoicesSendNothing()
    {
        QFETCH(QString, untick);
        QFETCH(int, first);
        QFETCH(int, last);
        chooseSmallSearch();
        for (QCheckBox *box : window->findChildren<QCheckBox *>()) {
            if (!untick.isEmpty() && box->objectName().startsWith(untick))
                box->setChecked(false);
        }
        find<QSpinBox>(QStringLiteral("firstAddress"))->setValue(first);
        find<QSpinBox>(QStringLiteral("lastAddress"))->setValue(last);

        QVERIFY(!button("startButton")->isEnabled());
        QCOMPARE(status(), window->planProblem());
        QVERIFY(!status().isEmpty());
        window->start();
        QVERIFY(rig->line.writes.empty());
        QCOMPARE(rig->line.com, 0);
        QCOMPARE(table()->rowCount(), 0);
    }

    // A port that will not open: the window says so and is ready for another try.
    void unusablePortIsShown()
    {
        chooseSmallSearch();
        rig->line.openFails = true;

        QTest::mouseClick(button("startButton"), Qt::LeftButton);

        QVERIFY(rig->line.writes.empty());
        QVERIFY2(status().contains(QLatin1String("cannot be used")), qPrintable(status()));
        QCOMPARE(table()->rowCount(), 0);
        QVERIFY(button("startButton")->isEnabled());
    }
};

QTEST_MAIN(FindWindowTest)
#include "FindWindowTest.moc"
