#include "Fakes.h"

#include "app/ControlTable.h"
#include "app/LampWidget.h"
#include "app/Program.h"
#include "core/DisplayText.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

#include <memory>

// The real window, offscreen, over a fake serial port that answers at once.
class WindowTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<FakeSerialPort> port;
    std::unique_ptr<Program> program;

    MainWindow &window() { return program->window(); }
    template<typename T>
    T *find(const char *name)
    {
        auto *widget = qobject_cast<T *>(window().control(QString::fromLatin1(name)));
        if (!widget)
            qFatal("no control %s of the expected kind", name);
        return widget;
    }
    void answerEverySend()
    {
        for (int read = 1; read <= 2000; ++read)
            port->arrive[read] = QByteArrayLiteral(">+01.000\r");
    }

private slots:
    void init()
    {
        port = std::make_unique<FakeSerialPort>();
        answerEverySend();
        program = std::make_unique<Program>(*port);
        window().show();
        QVERIFY(QTest::qWaitForWindowExposed(&window()));
    }
    void cleanup()
    {
        program.reset();
        port.reset();
    }

    void clientAreaTitleAndFixedSize()
    {
        QCOMPARE(window().windowTitle(), QStringLiteral("Tolvane"));
        QCOMPARE(window().size(), QSize(843, 583));
        QCOMPARE(window().minimumSize(), window().maximumSize());
    }

    void everyControlStandsWhereTheTableSays()
    {
        int visual = 0;
        for (const ControlRow &row : controlTable) {
            QWidget *widget = window().control(QString::fromLatin1(row.name));
            if (row.kind == ControlKind::SerialComponent ||
                row.kind == ControlKind::FileDialogComponent) {
                QVERIFY(!widget);
                continue;
            }
            ++visual;
            QVERIFY2(widget, row.name);
            const QRect expected(row.left / 15, row.top / 15, row.width / 15, row.height / 15);
            QCOMPARE(widget->geometry(), expected);
            const QString container = QString::fromLatin1(row.container);
            QCOMPARE(widget->parentWidget()->objectName(),
                     container.isEmpty() ? window().objectName() : container);
            QVERIFY2(widget->isVisible(), row.name);
            // A caption with no Latin letter in it needs its English gloss.
            const QString caption = QString::fromUtf16(row.caption);
            if (caption.contains(QRegularExpression(QStringLiteral("[^\\x00-\\x7f]"))) &&
                !caption.contains(QRegularExpression(QStringLiteral("[A-Za-z]"))))
                QVERIFY2(!widget->toolTip().isEmpty(), row.name);
        }
        QCOMPARE(visual, 33);
    }

    // A click at the centre of a control's rectangle reaches that control (or a part of it,
    // such as a list's arrow or a text area's viewport, or a control inside a frame).
    void aClickAtEachCentreHitsThatControl()
    {
        for (const ControlRow &row : controlTable) {
            QWidget *widget = window().control(QString::fromLatin1(row.name));
            if (!widget)
                continue;
            const QPoint centre = widget->mapTo(&window(), widget->rect().center());
            QWidget *hit = window().childAt(centre);
            QVERIFY2(hit && (hit == widget || widget->isAncestorOf(hit)), row.name);
        }
    }

    void captionsAndFonts()
    {
        QCOMPARE(find<QPushButton>("Command1")->accessibleName(), QStringLiteral("打开串口/Open"));
        QCOMPARE(find<QPushButton>("Command6")->text().remove(u'\n'),
                 QStringLiteral("自动发送/Continue send"));
        QCOMPARE(find<QGroupBox>("Frame1")->title(), QStringLiteral("设置配置"));
        QCOMPARE(find<QLabel>("Label11")->text(), QStringLiteral("mS"));
        for (const char *name : {"Text1", "Text2", "Text3"}) {
            const QFont font = find<QWidget>(name)->font();
            QCOMPARE(font.family(), QStringLiteral("Times New Roman"));
            QCOMPARE(font.pointSize(), 15);
            QVERIFY(font.bold() && !font.italic() && !font.underline() && !font.strikeOut());
        }
        QVERIFY(QFontInfo(find<QWidget>("Command3")->font()).family() !=
                QStringLiteral("Times New Roman"));
    }

    void startUpState()
    {
        QCOMPARE(find<LampWidget>("Shape1")->fillColor(), QColor(192, 192, 192));
        QVERIFY(find<QPlainTextEdit>("Text1")->toPlainText().isEmpty());
        QVERIFY(find<QPlainTextEdit>("RichTextBox1")->toPlainText().isEmpty());
        QVERIFY(find<QPlainTextEdit>("RichTextBox1")->isReadOnly());
        QCOMPARE(find<QLineEdit>("Text2")->text(), QStringLiteral("#01"));
        QCOMPARE(find<QLineEdit>("Text3")->text(), QStringLiteral("刚输入的命令"));
        QCOMPARE(find<QLineEdit>("Text4")->text(), QStringLiteral("01"));
        QCOMPARE(find<QLineEdit>("Text5")->text(), QStringLiteral("100"));
        const std::pair<const char *, const char16_t *> shown[] = {{"Combo1", u"COM1"},
                                                                   {"Combo2", u"9600"},
                                                                   {"Combo3", u"工程单位"},
                                                                   {"Combo4", u"字符通讯协议"},
                                                                   {"Combo5", u"9600"}};
        for (const auto &[name, text] : shown) {
            QCOMPARE(find<QComboBox>(name)->currentText(), QString::fromUtf16(text));
            QVERIFY(!find<QComboBox>(name)->isEditable());
        }
        QCOMPARE(find<QComboBox>("Combo1")->count(), 20);
        QCOMPARE(find<QComboBox>("Combo4")->itemText(1), QStringLiteral("MODBUS RTU"));
        QVERIFY(port->calls.empty());
        QCOMPARE(QApplication::focusWidget(), find<QWidget>("Command1"));
    }

    void tabWalksTheControlsInTabIndexOrder()
    {
        const QStringList expected{"Command1", "Command2",     "Command3", "Text1",    "Text2",
                                   "Text3",    "Combo1",       "Command4", "Command5", "Text4",
                                   "Combo2",   "Combo3",       "Combo4",   "Command6", "Command7",
                                   "Combo5",   "RichTextBox1", "Command8", "Text5",    "Command1"};
        window().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window()));
        find<QWidget>("Command1")->setFocus();
        QStringList walked{QApplication::focusWidget()->objectName()};
        for (int i = 1; i < expected.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            walked << QApplication::focusWidget()->objectName();
        }
        QCOMPARE(walked, expected);
    }

    void enterInTheCommandBoxSendsAndNothingElseDoes()
    {
        auto *command = find<QLineEdit>("Text2");
        command->setFocus();
        command->setText(QStringLiteral("#0"));
        QTest::keyClicks(command, QStringLiteral("1"));
        QVERIFY(port->written.isEmpty());
        QTest::keyClick(command, Qt::Key_Return);
        QCOMPARE(port->written, QByteArrayLiteral("#01\r"));
        QTest::keyClick(command, Qt::Key_Enter); // keypad Enter
        QCOMPARE(port->written, QByteArrayLiteral("#01\r#01\r"));

        for (const char *other : {"Text4", "Text5", "Combo1", "Combo5", "Command7"}) {
            QTest::keyClick(find<QWidget>(other), Qt::Key_Return);
            QCOMPARE(port->written, QByteArrayLiteral("#01\r#01\r"));
        }
        QCOMPARE(find<QLineEdit>("Text3")->text(), QStringLiteral("#01"));
        QCOMPARE(find<QPlainTextEdit>("Text1")->toPlainText(), QStringLiteral(">+01.000<CR>"));
        QCOMPARE(find<LampWidget>("Shape1")->fillColor(), QColor(0, 255, 0));
    }

    void theResponseBoxAndSentBoxCannotBeTypedInto()
    {
        auto *sent = find<QLineEdit>("Text3");
        QTest::keyClicks(sent, QStringLiteral("xyz"));
        QCOMPARE(sent->text(), QStringLiteral("刚输入的命令"));
        auto *response = find<QPlainTextEdit>("Text1");
        QTest::keyClicks(response, QStringLiteral("xyz"));
        QVERIFY(response->toPlainText().isEmpty());
    }

    void listPicksRunTheirOperations()
    {
        auto pick = [](QComboBox *box, int index) {
            box->setCurrentIndex(index);
            emit box->activated(index);
        };
        port->open = true;
        find<LampWidget>("Shape1")->setFillColor(Qt::green);
        pick(find<QComboBox>("Combo1"), 6);
        QCOMPARE(program->state().PortNumber, 7);
        QCOMPARE(find<LampWidget>("Shape1")->fillColor(), QColor(192, 192, 192));
        QVERIFY(!port->open);

        pick(find<QComboBox>("Combo2"), 9);
        pick(find<QComboBox>("Combo3"), 2);
        find<QLineEdit>("Text4")->setText(QStringLiteral("05"));
        QTest::mouseClick(find<QPushButton>("Command4"), Qt::LeftButton);
        QVERIFY(port->written.endsWith("%0005000A02\r"));
        QCOMPARE(find<QLineEdit>("Text2")->text(), QStringLiteral("%0005000A02"));

        pick(find<QComboBox>("Combo4"), 1);
        QTest::mouseClick(find<QPushButton>("Command5"), Qt::LeftButton);
        QVERIFY(port->written.endsWith("$00P1\r"));

        const auto callsBefore = port->calls.size();
        pick(find<QComboBox>("Combo5"), 6); // no immediate effect
        QCOMPARE(port->calls.size(), callsBefore);
        QTest::mouseClick(find<QPushButton>("Command3"), Qt::LeftButton);
        QCOMPARE(port->settings, QStringLiteral("19200,N,8,1"));
    }

    void theLogViewMirrorsTheExactLogNewestFirst()
    {
        port->arrive.clear();
        port->arrive[1] = QByteArray(">\x00\x85\xA0\r", 5);
        QTest::mouseClick(find<QPushButton>("Command3"), Qt::LeftButton);
        port->reads = 0;
        port->arrive[1] = QByteArray("?01\r");
        find<QLineEdit>("Text2")->setText(QStringLiteral("#02"));
        QTest::mouseClick(find<QPushButton>("Command3"), Qt::LeftButton);

        const QString exact = program->log().text();
        QVERIFY(exact.indexOf(QStringLiteral("#02")) < exact.indexOf(QStringLiteral("#01")));
        QVERIFY(exact.contains(QString::fromLatin1(">\0\x85\xA0\r\r\n", 7)));
        QCOMPARE(find<QPlainTextEdit>("RichTextBox1")->toPlainText(), displayText(exact));
    }

    // Save to file through the window's own button, with the dialog and the message answered.
    void saveToFileWritesTheExactLogAndReportsAFailure()
    {
        QTemporaryDir dir;
        QString answer = dir.filePath(QStringLiteral("bench.txt"));
        QStringList messages;
        program->operations().setSaveDialog([&](const QString &) { return std::optional(answer); });
        program->operations().setMessageBox([&](const QString &m) { messages << m; });
        port->arrive.clear();
        port->arrive[1] = QByteArray(">1\r\x85");
        QTest::mouseClick(find<QPushButton>("Command3"), Qt::LeftButton);
        QTest::mouseClick(find<QPushButton>("Command8"), Qt::LeftButton);
        QFile saved(answer);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), (program->log().text() + QStringLiteral("\r\n")).toUtf8());
        QVERIFY(messages.isEmpty());

        answer = dir.filePath(QStringLiteral("missing/bench.txt"));
        QTest::mouseClick(find<QPushButton>("Command8"), Qt::LeftButton);
        QCOMPARE(messages.size(), 1);
        QVERIFY(messages.first().contains(answer));
    }
};

QTEST_MAIN(WindowTest)
#include "WindowTest.moc"
