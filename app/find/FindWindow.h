#pragma once

#include "find/ModuleSearch.h"

#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

class EventPump;
class ListBox;
class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTableWidget;
class SerialPort;

// Tolvane Find's window: which COM port, rates, protocols and addresses to search, Start and
// Stop, the progress with the time left at most, and a table of the modules found, each with
// what to pick in the tool to talk to it. The search runs on this thread inside Start's click;
// its waits pump events, so Stop (and closing the window) is seen within one pass.
class FindWindow : public QWidget, private SearchObserver
{
    Q_OBJECT
public:
    FindWindow(SerialPort &port, EventPump &pump, SearchClock &clock, QWidget *parent = nullptr);

    // Tooltips of the COM list's entries, in order, asked afresh whenever the list opens.
    void setComToolTipSource(std::function<QStringList()> source);
    // Why the port failed in words the engineer can act on, added to the search's own reason.
    void setPortFailureSource(std::function<QString()> source);

    // The search the controls describe; empty rates when no rate box is ticked.
    SearchPlan plan() const;
    // Empty when the controls describe a search that can start, else why not, in words.
    QString planProblem() const;
    bool isSearching() const { return m_search != nullptr; }
    // The table as tab-separated lines under a header line: the selected rows, or all of them.
    QString tableText(bool selectedOnly) const;

public slots:
    void start();
    void stop();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    // SearchObserver
    void progress(int probesDone, int probesTotal, std::int64_t msLeftAtMost) override;
    void found(const FoundModule &module) override;

    QWidget *makeChoices();
    QWidget *makeTable();
    void planChanged();
    void setSearching(bool searching);
    void showEnd(SearchEnd end, const QString &failure, std::int64_t elapsedMs);
    void copyRows(bool selectedOnly) const;
    void refreshComToolTips();

    SerialPort &m_port;
    EventPump &m_pump;
    SearchClock &m_clock;
    ModuleSearch *m_search = nullptr; // while a search runs
    int m_foundCount = 0;
    std::function<QStringList()> m_comToolTips;
    std::function<QString()> m_portFailure;

    ListBox *m_comList = nullptr;
    std::vector<std::pair<int, QCheckBox *>> m_rateBoxes; // the tool's list order
    QCheckBox *m_characterBox = nullptr;
    QCheckBox *m_modbusBox = nullptr;
    QSpinBox *m_firstAddress = nullptr;
    QSpinBox *m_lastAddress = nullptr;
    QCheckBox *m_stopAtFirst = nullptr;
    QPushButton *m_startButton = nullptr;
    QPushButton *m_stopButton = nullptr;
    QProgressBar *m_progress = nullptr;
    QLabel *m_status = nullptr;
    QTableWidget *m_table = nullptr;
    std::vector<QWidget *> m_choices; // disabled while a search runs
};

// Tolvane Find with no arguments: its window on the host's serial port, until it is closed.
int runFindWindow(int argc, char *argv[]);
