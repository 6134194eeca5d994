#include "Fakes.h"

#include "app/CharWidths.h"
#include "app/ControlTable.h"
#include "app/LampWidget.h"
#include "app/Program.h"
#include "app/ResponseBox.h"
#include "app/WindowIcon.h"
#include "core/ComLinks.h"
#include "core/DisplayText.h"

#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <memory>

// Counts the paint events of the object it filters.
class PaintCounter : public QObject
{
public:
    explicit PaintCounter(int &paints)
        : m_paints(paints)
    {}
    bool eventFilter(QObject *, QEvent *event) override
    {
        m_paints += event->type() == QEvent::Paint;
        return false;
    }

private:
    int &m_paints;
};

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

    // A fixed size (its title and pixels are the start test's, on a real display) and a few
    // controls' places in pixels (twips / 15), one of them inside a frame; a click proves that
    // each control can be reached where it stands.
    void fixedSizeAndPlaces()
    {
        QCOMPARE(window().minimumSize(), window().maximumSize());
        QCOMPARE(find<QWidget>("Command1")->geometry(), QRect(176, 16, 97, 33));
        QCOMPARE(find<QWidget>("RichTextBox1")->geometry(), QRect(24, 328, 793, 233));
        QCOMPARE(find<QWidget>("Combo2")->mapTo(&window(), QPoint(0, 0)), QPoint(552, 104));
        int visual = 0;
        for (const ControlRow &row : controlTable) {
            QWidget *widget = window().control(QString::fromLatin1(row.name));
            if (!widget)
                continue;
            visual += widget->isVisible();
            // A caption with no Latin letter in it needs its English gloss.
            const QString caption = QString::fromUtf16(row.caption);
            if (!caption.contains(QRegularExpression(QStringLiteral("[A-Za-z]"))) &&
                caption.contains(QRegularExpression(QStringLiteral("[^\\x00-\\x7f]"))))
                QVERIFY2(!widget->toolTip().isEmpty(), row.name);
            // A click at its centre reaches it (or a part of it, such as a list's arrow or a
            // text area's viewport, or a control inside a frame).
            QWidget *hit = window().childAt(widget->mapTo(&window(), widget->rect().center()));
            QVERIFY2(hit && (hit == widget || widget->isAncestorOf(hit)), row.name);
        }
        QCOMPARE(visual, 33);
    }

    void captionsAndFonts()
    {
        // Too wide for one line, a caption breaks after its slash; a screen reader gets it whole.
        QCOMPARE(find<QPushButton>("Command6")->text(), QStringLiteral("自动发送/\nContinue send"));
        QCOMPARE(find<QPushButton>("Command6")->accessibleName(),
                 QStringLiteral("自动发送/Continue send"));
        for (const char *name : {"Text1", "Text2", "Text3"}) {
            const QFont font = find<QWidget>(name)->font();
            QCOMPARE(font.family(), QStringLiteral("Times New Roman"));
            QCOMPARE(font.pointSize(), 15);
            QVERIFY(font.bold() && !font.italic() && !font.underline() && !font.strikeOut());
        }
        // Every other control has the window's font: one that shows Chinese, 12 px high.
        const QFontInfo windowFont(find<QWidget>("Command3")->font());
        QCOMPARE(windowFont.family(), QStringLiteral("WenQuanYi Micro Hei"));
        QCOMPARE(windowFont.pixelSize(), 12);
    }

    void startUpState()
    {
        QCOMPARE(find<LampWidget>("Shape1")->fillColor(), QColor(192, 192, 192));
        QVERIFY(find<ResponseBox>("Text1")->text().isEmpty());
        find<TextPane>("RichTextBox1")->selectAll();
        QVERIFY(find<TextPane>("RichTextBox1")->selectedText().isEmpty());
        QCOMPARE(find<QLineEdit>("Text3")->cursorPosition(), 0); // its start in view, not its end
        const std::pair<const char *, const char16_t *> shown[] = {{"Combo1", u"COM1"},
                                                                   {"Combo2", u"9600"},
                                                                   {"Combo3", u"工程单位"},
                                                                   {"Combo4", u"字符通讯协议"},
                                                                   {"Combo5", u"9600"}};
        for (const auto &[name, text] : shown) {
            QCOMPARE(find<QComboBox>(name)->currentText(), QString::fromUtf16(text));
            QVERIFY(!find<QComboBox>(name)->isEditable());
        }
        QCOMPARE(find<QComboBox>("Combo1")->count(), tolvane::kLastCom - tolvane::kFirstCom + 1);
        QCOMPARE(find<QComboBox>("Combo4")->itemText(1), QStringLiteral("MODBUS RTU"));
        for (const char *name : {"Combo3", "Combo4"}) { // each entry says what it means
            for (int i = 0; i < find<QComboBox>(name)->count(); ++i)
                QVERIFY(!find<QComboBox>(name)->itemData(i, Qt::ToolTipRole).toString().isEmpty());
        }
        QVERIFY(port->calls.empty());
        QCOMPARE(QApplication::focusWidget(), find<QWidget>("Command1"));

        // Once its first frame is up the window takes the tool's icon, in each size it ships.
        setIconAfterFirstFrame(window());
        window().repaint();
        QTRY_COMPARE(QApplication::windowIcon().availableSizes().size(), 6);
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
        QCOMPARE(find<ResponseBox>("Text1")->text(), QStringLiteral(">+01.000<CR>"));
    }

    // A babbling module's reply of 300 kB: the response box holds all of it and scrolls.
    void aFloodReplyIsShownWholeAndScrolls()
    {
        port->arrive.clear();
        QByteArray flood;
        for (int i = 0; i < 300 * 1024; ++i)
            flood += char(i % 251);
        port->arrive[1] = flood.replace('\r', 'x');
        QTest::mouseClick(find<QPushButton>("Command3"), Qt::LeftButton);
        auto *response = find<ResponseBox>("Text1");
        QCOMPARE(response->text(), displayText(QString::fromLatin1(flood)));
        QVERIFY(response->verticalScrollBar()->maximum() > 1000);
    }

    void theResponseBoxAndSentBoxCannotBeTypedInto()
    {
        auto *sent = find<QLineEdit>("Text3");
        QTest::keyClicks(sent, QStringLiteral("xyz"));
        QCOMPARE(sent->text(), QStringLiteral("刚输入的命令"));
        auto *response = find<ResponseBox>("Text1");
        QTest::keyClicks(response, QStringLiteral("xyz"));
        QVERIFY(response->text().isEmpty());
    }

    void listPicksRunTheirOperations()
    {
        auto pick = [](QComboBox *box, int index) {
            box->setCurrentIndex(index);
            emit box->activated(index);
        };
        pick(find<QComboBox>("Combo1"), 6); // what a pick does to the port is the core's test
        QCOMPARE(program->state().PortNumber, 7);

        // The frames' lists and the link's rate are the end-to-end test's path.
        pick(find<QComboBox>("Combo4"), 1);
        QTest::mouseClick(find<QPushButton>("Command5"), Qt::LeftButton);
        QVERIFY(port->written.endsWith("$00P1\r"));
    }

    // The COM entries' tooltips come from a scan of the host's ports: asked for each time the
    // list opens, never while the window starts.
    void comToolTipsAreAskedForWhenTheListOpens()
    {
        int asked = 0;
        window().setComToolTipSource([&asked] {
            ++asked;
            return QStringList{QStringLiteral("COM1 -> /dev/ttyUSB%1").arg(asked)};
        });
        auto *com = find<QComboBox>("Combo1");
        QCOMPARE(asked, 0);
        for (int opened = 1; opened <= 2; ++opened) {
            com->showPopup();
            com->hidePopup();
            QCOMPARE(asked, opened);
            QCOMPARE(com->itemData(0, Qt::ToolTipRole).toString(),
                     QStringLiteral("COM1 -> /dev/ttyUSB%1").arg(opened));
        }
    }

    // The log view draws the log from its store: newest entry on top, every byte visible, and
    // what is selected (Ctrl+A, the mouse, the context menu) copies as it is shown.
    void theLogViewShowsAndCopiesTheLogNewestFirst()
    {
        port->arrive.clear();
        port->arrive[1] = QByteArray(">\x00\x85\xA0\r\r\nnext", 11);
        QTest::mouseClick(find<QPushButton>("Command3"), Qt::LeftButton);
        for (int i = 2; i <= 40; ++i) {
            port->reads = 0;
            port->arrive[1] = QByteArray("?") + QByteArray::number(i) + '\r';
            find<QLineEdit>("Text2")->setText(QStringLiteral("#%1").arg(i, 2, 10, QChar(u'0')));
            QTest::mouseClick(find<QPushButton>("Command3"), Qt::LeftButton);
        }
        auto *view = find<TextPane>("RichTextBox1");
        const QString shown = displayText(program->log().text()).chopped(1);
        QVERIFY(shown.startsWith(displayText(program->log().entry(0)).chopped(1)));
        QVERIFY(shown.endsWith(QStringLiteral("><NUL><85><A0><CR>\nnext")));

        view->setFocus();
        QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), shown);

        // Ctrl+End brings the oldest entry into view: a double click on the bottom row takes it.
        QCOMPARE(view->firstVisibleRow(), 0);
        QTest::keyClick(view, Qt::Key_End, Qt::ControlModifier);
        const QStringList lines = shown.split(u'\n');
        const int rowHeight = view->fontMetrics().lineSpacing();
        const int bottom = int(view->viewport()->height() / rowHeight) * rowHeight - rowHeight / 2;
        QCOMPARE(view->firstVisibleRow(), lines.size() - view->verticalScrollBar()->pageStep());
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, QPoint(20, bottom));
        QCOMPARE(view->selectedText(), lines.last());

        // A drag from the top left across three rows selects them and the breaks between.
        QTest::keyClick(view, Qt::Key_Home, Qt::ControlModifier);
        QTest::mousePress(view->viewport(), Qt::LeftButton, {}, QPoint(1, rowHeight / 2));
        QMouseEvent move(QEvent::MouseMove, QPointF(3000, 2.5 * rowHeight),
                         view->viewport()->mapToGlobal(QPointF(3000, 2.5 * rowHeight)),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(view->viewport(), &move);
        QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, QPoint(3000, 2.5 * rowHeight));
        QCOMPARE(view->selectedText(), lines.mid(0, 3).join(u'\n'));
        // The selected text stands on the highlight, and a selected line break shows as one
        // space's width of highlight after the row's text.
        {
            const CharWidths widths(view->font());
            const qreal textEnd = 3 + widths.width(lines.first());
            const qreal fillEnd = textEnd + widths.advance(u' ');
            const QImage shown = view->viewport()->grab().toImage();
            const QColor highlight = view->palette().color(QPalette::Highlight);
            int lit = 0;
            for (int x = 3; x < int(textEnd); ++x)
                lit += shown.pixelColor(x, 1) == highlight;
            QVERIFY2(lit > int(textEnd) / 2, qPrintable(QString::number(lit)));
            QCOMPARE(shown.pixelColor(int(std::floor(fillEnd)) - 1, rowHeight / 2), highlight);
            QCOMPARE(shown.pixelColor(int(std::ceil(fillEnd)) + 1, rowHeight / 2),
                     view->viewport()->palette().color(QPalette::Base));
        }

        // The context menu's Copy does what Ctrl+C does.
        QApplication::clipboard()->clear();
        QTimer::singleShot(0, [] {
            auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            QVERIFY(menu);
            menu->actions().first()->trigger();
            menu->close();
        });
        QContextMenuEvent right(QContextMenuEvent::Mouse, QPoint(10, 10),
                                view->mapToGlobal(QPoint(10, 10)));
        QApplication::sendEvent(view->viewport(), &right);
        QCOMPARE(QApplication::clipboard()->text(), lines.mid(0, 3).join(u'\n'));

        // A long entry scrolls sideways: End goes to its end, Home back.
        QCOMPARE(view->horizontalScrollBar()->maximum(), 0);
        port->reads = 0;
        port->arrive[1] = QByteArray(3000, 'A') + '\r';
        QTest::mouseClick(find<QPushButton>("Command3"), Qt::LeftButton);
        QVERIFY(view->horizontalScrollBar()->maximum() > 10 * view->width());
        QTest::keyClick(view, Qt::Key_End);
        QCOMPARE(view->horizontalScrollBar()->value(), view->horizontalScrollBar()->maximum());
        QTest::keyClick(view, Qt::Key_Home);
        QCOMPARE(view->horizontalScrollBar()->value(), 0);

        // A drag just past the bottom edge scrolls one row.
        QTest::mousePress(view->viewport(), Qt::LeftButton, {}, QPoint(1, rowHeight / 2));
        const QPointF below(10, view->viewport()->height() + 1);
        QMouseEvent past(QEvent::MouseMove, below, view->viewport()->mapToGlobal(below),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(view->viewport(), &past);
        QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, below.toPoint());
        QCOMPARE(view->firstVisibleRow(), 1);

        // A new entry on top keeps the rows being read in view: they move down by its rows.
        const qsizetype rowsBefore = displayText(program->log().text()).count(u'\n');
        port->reads = 0;
        QTest::mouseClick(find<QPushButton>("Command3"), Qt::LeftButton);
        const qsizetype added = displayText(program->log().text()).count(u'\n') - rowsBefore;
        QVERIFY(added > 0);
        QCOMPARE(view->firstVisibleRow(), 1 + added);

        // In a larger font Ctrl+End still brings the oldest row to the bottom of the view.
        QFont larger = view->font();
        larger.setPixelSize(QFontInfo(larger).pixelSize() * 2);
        view->setFont(larger);
        QTest::keyClick(view, Qt::Key_End, Qt::ControlModifier);
        const int tall = int(std::ceil(QFontMetricsF(CharWidths::unshaped(larger)).lineSpacing()));
        const int lastFull = view->viewport()->height() / tall - 1;
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {},
                           QPoint(20, lastFull * tall + tall / 2));
        QCOMPARE(view->selectedText(), lines.last());
    }

    // Save to file through the window's own button, with the dialog and the message answered.
    void saveToFileWritesTheExactLogAndReportsAFailure()
    {
        QTemporaryDir dir;
        QString answer = dir.filePath(QStringLiteral("bench.txt"));
        program->operations().setSaveDialog([&](const QString &) { return std::optional(answer); });
        port->arrive.clear();
        port->arrive[1] = QByteArray(">1\r\x85");
        QTest::mouseClick(find<QPushButton>("Command3"), Qt::LeftButton);
        QTest::mouseClick(find<QPushButton>("Command8"), Qt::LeftButton);
        QFile saved(answer);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), (program->log().text() + QStringLiteral("\r\n")).toUtf8());

        // A file that cannot be written: the operator sees the window's own message box.
        answer = dir.filePath(QStringLiteral("missing/bench.txt"));
        QString shown;
        QTimer::singleShot(0, [&shown] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                shown = box->text();
                box->accept();
            }
        });
        QTest::mouseClick(find<QPushButton>("Command8"), Qt::LeftButton);
        QVERIFY2(shown.contains(QDir::toNativeSeparators(answer)), qPrintable(shown));
    }

    // The lamp is drawn in its colour, as a circle, and drawn again when the colour changes.
    // A row of the log is drawn as its text would be drawn by itself, from its first character;
    // a caption stands at the top of its box.
    void rowsAndCaptionsAreDrawnWhereTheyStart()
    {
        QTest::mouseClick(find<QPushButton>("Command3"), Qt::LeftButton);
        auto *view = find<TextPane>("RichTextBox1");
        const QImage shown = view->viewport()->grab().toImage();
        const QFontMetrics metrics(CharWidths::unshaped(view->font()));
        QImage expected(shown.size(), shown.format());
        expected.setDevicePixelRatio(shown.devicePixelRatio());
        expected.fill(view->viewport()->palette().color(QPalette::Base));
        {
            QPainter painter(&expected);
            painter.setFont(CharWidths::unshaped(view->font()));
            painter.setPen(view->palette().color(QPalette::Text));
            painter.drawText(QPointF(3, metrics.ascent()),
                             displayText(program->log().entry(0)).chopped(1));
        }
        const QRect firstRow(0, 0, shown.width(), metrics.height());
        QCOMPARE(shown.copy(firstRow), expected.copy(firstRow));

        const QImage caption = find<QLabel>("Label7")->grab().toImage();
        int top = 0; // the first row of pixels that is not the background's
        while (top < caption.height() &&
               caption.copy(0, top, caption.width(), 1) == caption.copy(0, 0, caption.width(), 1))
            ++top;
        QVERIFY2(top <= 3, qPrintable(QString::number(top)));
    }

    void theLampIsDrawnInItsColour()
    {
        auto *lamp = find<LampWidget>("Shape1");
        int paints = 0;
        PaintCounter counter(paints);
        lamp->installEventFilter(&counter);
        auto pixel = [lamp](QPoint at) { return lamp->grab().toImage().pixelColor(at); };
        const QPoint centre = lamp->rect().center();
        QCOMPARE(pixel(centre), QColor(192, 192, 192));
        QCOMPARE(pixel(QPoint(0, 0)),
                 lamp->palette().color(QPalette::Window)); // outside the circle
        // The circle fills its box: its outline covers most of the top row's middle pixel.
        QVERIFY(qGray(pixel(QPoint(centre.x(), 0)).rgb()) < 0x60);
        // Its edge is smoothed: pixels on the outline blend it with what lies either side.
        const QImage shown = lamp->grab().toImage();
        const QColor plain[] = {QColor(192, 192, 192), QColor(Qt::black),
                                lamp->palette().color(QPalette::Window)};
        int blended = 0;
        for (int y = 0; y < shown.height(); ++y) {
            for (int x = 0; x < shown.width(); ++x)
                blended += std::find(std::begin(plain), std::end(plain), shown.pixelColor(x, y)) ==
                           std::end(plain);
        }
        QVERIFY2(blended >= 16, qPrintable(QString::number(blended)));

        QTest::mouseClick(find<QPushButton>("Command1"), Qt::LeftButton);
        QTRY_VERIFY(paints > 0);
        QCOMPARE(pixel(centre), QColor(0, 255, 0));
    }
};

QTEST_MAIN(WindowTest)
#include "WindowTest.moc"
