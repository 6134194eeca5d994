#include "app/find/FindWindow.h"

#include "app/ListBox.h"
#include "app/WindowLook.h"
#include "core/CodeTables.h"
#include "core/DisplayText.h"
#include "core/ModuleCodes.h"
#include "find/FoundText.h"
#include "find/Probes.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// Addresses as the tool's address box takes them: two hexadecimal digits.
class HexSpinBox : public QSpinBox
{
public:
    HexSpinBox(int value, QWidget *parent)
        : QSpinBox(parent)
    {
        setRange(0x00, 0xFF);
        setDisplayIntegerBase(16);
        setValue(value);
    }

protected:
    QString textFromValue(int value) const override { return hexByte(value); }
};

// The way to talk to a module comes right after what identifies it, where a narrow window
// still shows it.
enum Column {
    ComColumn,
    AddressColumn,
    RateColumn,
    ProtocolColumn,
    HowToTalkColumn,
    FormatColumn,
    NameColumn,
    FirmwareColumn,
    NoteColumn,
    ColumnCount
};

const char16_t *const columnCaptions[ColumnCount] = {u"串口/COM",
                                                     u"地址/Address",
                                                     u"波特率/Baud",
                                                     u"通讯协议/Protocol",
                                                     u"怎样通讯/How to talk to it",
                                                     u"数据格式/Format",
                                                     u"名称/Name",
                                                     u"固件/Firmware",
                                                     u"备注/Note"};

QString protocolEntry(tolvane::Protocol protocol)
{
    for (const auto &entry : tolvane::kProtocols) {
        if (entry.value == protocol)
            return QString::fromUtf8(entry.entry);
    }
    return {};
}

// "工程单位 (00)" for a code of the tool's format list, as the tool's list shows it; the bare
// code otherwise.
QString formatText(const QString &code)
{
    for (const auto &entry : tolvane::kDataFormats) {
        if (code == QLatin1String(entry.code))
            return QStringLiteral("%1 (%2)").arg(QString::fromUtf8(entry.entry), code);
    }
    return code;
}

QStringList rowTexts(const FoundModule &module)
{
    QStringList texts(ColumnCount);
    texts[ComColumn] = QStringLiteral("COM%1").arg(module.com);
    texts[AddressColumn] = foundText::address(module);
    texts[RateColumn] = QString::number(module.rate);
    texts[ProtocolColumn] = protocolEntry(module.protocol);
    texts[FormatColumn] = formatText(module.formatCode);
    // What the module said of itself, with a stand-in for any byte that would draw as nothing.
    texts[NameColumn] = displayText(module.name);
    texts[FirmwareColumn] = displayText(module.firmware);
    texts[NoteColumn] = module.note;
    texts[HowToTalkColumn] = foundText::howToTalk(module);
    return texts;
}

QCheckBox *checkBox(const QString &caption, const QString &name, QWidget *parent)
{
    auto *box = new QCheckBox(caption, parent);
    box->setObjectName(name);
    box->setChecked(true);
    return box;
}

} // namespace

FindWindow::FindWindow(SerialPort &port, EventPump &pump, SearchClock &clock, QWidget *parent)
    : QWidget(parent)
    , m_port(port)
    , m_pump(pump)
    , m_clock(clock)
{
    setWindowTitle(QStringLiteral("Tolvane Find"));
    setFont(windowFont());

    // Created in focus order: the choices, Start and Stop, the table.
    QWidget *choices = makeChoices();
    m_startButton = new QPushButton(QStringLiteral("开始搜索/Start"), this);
    m_startButton->setObjectName(QStringLiteral("startButton"));
    m_startButton->setAutoDefault(false);
    m_stopButton = new QPushButton(QStringLiteral("停止/Stop"), this);
    m_stopButton->setObjectName(QStringLiteral("stopButton"));
    m_stopButton->setAutoDefault(false);
    m_stopButton->setEnabled(false);
    m_stopButton->setToolTip(QStringLiteral("Ends the search at once; what was found stays"));
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("progressBar"));
    m_progress->setRange(0, 1);
    m_progress->setValue(0);
    m_progress->setFormat(QString());
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("statusLabel"));
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_startButton);
    buttons->addWidget(m_stopButton);
    buttons->addWidget(m_progress, 1);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(choices);
    layout->addLayout(buttons);
    layout->addWidget(m_status);
    layout->addWidget(makeTable(), 1);

    connect(m_startButton, &QPushButton::clicked, this, &FindWindow::start);
    connect(m_stopButton, &QPushButton::clicked, this, &FindWindow::stop);
    for (QCheckBox *box : findChildren<QCheckBox *>())
        connect(box, &QCheckBox::toggled, this, &FindWindow::planChanged);
    for (QSpinBox *box : {m_firstAddress, m_lastAddress})
        connect(box, &QSpinBox::valueChanged, this, &FindWindow::planChanged);
    resize(960, 600);
    planChanged();
}

QWidget *FindWindow::makeChoices()
{
    auto *choices = new QWidget(this);
    auto *grid = new QGridLayout(choices);
    grid->setContentsMargins(0, 0, 0, 0);

    m_comList = new ListBox(choices);
    m_comList->setObjectName(QStringLiteral("comList"));
    m_comList->addItems(comEntries());
    connect(m_comList, &ListBox::popupAboutToShow, this, &FindWindow::refreshComToolTips);
    grid->addWidget(new QLabel(QStringLiteral("串口选择/COM"), choices), 0, 0);
    grid->addWidget(m_comList, 0, 1);

    m_firstAddress = new HexSpinBox(0x00, choices);
    m_firstAddress->setObjectName(QStringLiteral("firstAddress"));
    m_lastAddress = new HexSpinBox(0xFF, choices);
    m_lastAddress->setObjectName(QStringLiteral("lastAddress"));
    auto *addressLabel = new QLabel(QStringLiteral("地址范围/Addresses"), choices);
    addressLabel->setToolTip(QStringLiteral(
        "Hexadecimal, as the tool's address box; MODBUS RTU takes 01..F7 (1..247) of it"));
    auto *addresses = new QHBoxLayout;
    addresses->addWidget(m_firstAddress);
    addresses->addWidget(new QLabel(QStringLiteral("–"), choices));
    addresses->addWidget(m_lastAddress);
    addresses->addStretch(1);
    grid->addWidget(addressLabel, 0, 2);
    grid->addLayout(addresses, 0, 3);

    m_stopAtFirst =
        new QCheckBox(QStringLiteral("找到第一个就停止/Stop at the first module"), choices);
    m_stopAtFirst->setObjectName(QStringLiteral("stopAtFirst"));
    grid->addWidget(m_stopAtFirst, 0, 4);

    auto *rates = new QGroupBox(QStringLiteral("波特率选择/Baud"), choices);
    auto *rateGrid = new QGridLayout(rates);
    int column = 0;
    for (const tolvane::BaudRate &baud : tolvane::kBaudRates) {
        QCheckBox *box =
            checkBox(QString::number(baud.rate), QStringLiteral("rate%1").arg(baud.rate), rates);
        rateGrid->addWidget(box, column / 5, column % 5);
        m_rateBoxes.emplace_back(baud.rate, box);
        ++column;
    }
    grid->addWidget(rates, 1, 0, 1, 4);

    auto *protocols = new QGroupBox(QStringLiteral("通讯协议/Protocol"), choices);
    auto *protocolBoxes = new QVBoxLayout(protocols);
    for (const auto &entry : tolvane::kProtocols) {
        const bool character = entry.value == tolvane::Protocol::Character;
        QCheckBox *box = checkBox(QString::fromUtf8(entry.entry),
                                  character ? QStringLiteral("protocolCharacter")
                                            : QStringLiteral("protocolModbus"),
                                  protocols);
        box->setToolTip(QString::fromUtf8(entry.meaning));
        protocolBoxes->addWidget(box);
        (character ? m_characterBox : m_modbusBox) = box;
    }
    grid->addWidget(protocols, 1, 4);
    grid->setColumnStretch(3, 1);

    m_choices = {m_comList, m_firstAddress, m_lastAddress, m_stopAtFirst, rates, protocols};
    return choices;
}

QWidget *FindWindow::makeTable()
{
    m_table = new QTableWidget(0, ColumnCount, this);
    m_table->setObjectName(QStringLiteral("foundTable"));
    QStringList captions;
    for (const char16_t *caption : columnCaptions)
        captions << QString::fromUtf16(caption);
    m_table->setHorizontalHeaderLabels(captions);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->verticalHeader()->setVisible(false);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->resizeColumnsToContents(); // the headers in full before anything is found
    m_table->horizontalHeaderItem(HowToTalkColumn)
        ->setToolTip(QStringLiteral("For the character protocol: what to pick in Tolvane's COM "
                                    "list and baud list, and the command to send"));

    auto *copy = new QShortcut(QKeySequence::Copy, m_table);
    copy->setContext(Qt::WidgetShortcut);
    connect(copy, &QShortcut::activated, this, [this] { copyRows(true); });
    m_table->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_table, &QWidget::customContextMenuRequested, this, [this](const QPoint &at) {
        QMenu menu(this);
        menu.addAction(QStringLiteral("复制/Copy"), this, [this] { copyRows(true); })
            ->setShortcut(QKeySequence::Copy);
        menu.addAction(QStringLiteral("全部复制/Copy all"), this, [this] { copyRows(false); });
        menu.exec(m_table->viewport()->mapToGlobal(at));
    });
    return m_table;
}

void FindWindow::setComToolTipSource(std::function<QStringList()> source)
{
    m_comToolTips = std::move(source);
}

void FindWindow::setPortFailureSource(std::function<QString()> source)
{
    m_portFailure = std::move(source);
}

void FindWindow::refreshComToolTips()
{
    if (!m_comToolTips)
        return;
    const QStringList tips = m_comToolTips();
    for (int i = 0; i < m_comList->count() && i < tips.size(); ++i)
        m_comList->setItemData(i, tips.at(i), Qt::ToolTipRole);
}

SearchPlan FindWindow::plan() const
{
    SearchPlan plan;
    plan.com = portNumberFor(m_comList->currentText());
    // The ticked rates, likeliest first, in the order the search's own default takes them.
    const std::vector<int> likeliest = ModuleSearch::completed(SearchPlan{}).rates;
    for (int rate : likeliest) {
        for (const auto &[boxRate, box] : m_rateBoxes) {
            if (boxRate == rate && box->isChecked())
                plan.rates.push_back(rate);
        }
    }
    plan.characterProtocol = m_characterBox->isChecked();
    plan.modbusRtu = m_modbusBox->isChecked();
    plan.firstAddress = m_firstAddress->value();
    plan.lastAddress = m_lastAddress->value();
    plan.stopAtFirst = m_stopAtFirst->isChecked();
    return plan;
}

QString FindWindow::planProblem() const
{
    const SearchPlan wanted = plan();
    // No ticked rate is no search; an empty list would mean every rate to the search.
    if (wanted.rates.empty())
        return QStringLiteral("没有选择波特率/no rate chosen");
    return ModuleSearch::checkPlan(wanted);
}

void FindWindow::planChanged()
{
    if (isSearching())
        return;
    const QString problem = planProblem();
    m_startButton->setEnabled(problem.isEmpty());
    if (!problem.isEmpty()) {
        m_status->setText(problem);
        return;
    }
    const std::int64_t ms = ModuleSearch::worstCaseMs(ModuleSearch::completed(plan()));
    m_status->setText(
        QStringLiteral("最长用时/At most %1 if nothing answers (each reply adds its own time)")
            .arg(foundText::duration(ms)));
}

void FindWindow::start()
{
    // Start is disabled while a search runs; a click queued before that must not nest a second.
    if (isSearching())
        return;
    const QString problem = planProblem();
    if (!problem.isEmpty()) {
        m_status->setText(problem);
        return;
    }
    const SearchPlan wanted = ModuleSearch::completed(plan());
    m_table->setRowCount(0);
    m_foundCount = 0;
    ModuleSearch search(m_port, m_pump, m_clock);
    m_search = &search;
    setSearching(true);
    m_status->setText(QStringLiteral("正在搜索/Searching COM%1, at most %2")
                          .arg(wanted.com)
                          .arg(foundText::duration(ModuleSearch::worstCaseMs(wanted))));
    const std::int64_t started = m_clock.nowMicroseconds();
    const SearchEnd end = search.run(wanted, *this);
    const std::int64_t elapsedMs = (m_clock.nowMicroseconds() - started) / 1000;
    m_search = nullptr;
    setSearching(false);
    showEnd(end, search.failure(), elapsedMs);
}

void FindWindow::stop()
{
    if (m_search)
        m_search->stop();
}

void FindWindow::closeEvent(QCloseEvent *event)
{
    // The search sees the stop at its next pass, closes the port and returns; the window goes.
    stop();
    event->accept();
}

void FindWindow::setSearching(bool searching)
{
    m_startButton->setEnabled(!searching);
    m_stopButton->setEnabled(searching);
    for (QWidget *choice : m_choices)
        choice->setEnabled(!searching);
    if (searching) {
        m_progress->setRange(0, 1);
        m_progress->setValue(0);
        m_progress->setFormat(QString());
    }
}

void FindWindow::progress(int probesDone, int probesTotal, std::int64_t msLeftAtMost)
{
    m_progress->setRange(0, std::max(probesTotal, 1));
    m_progress->setValue(probesDone);
    m_progress->setFormat(QStringLiteral("%1 / %2 · 剩余最多/left at most %3")
                              .arg(probesDone)
                              .arg(probesTotal)
                              .arg(foundText::duration(msLeftAtMost)));
}

void FindWindow::found(const FoundModule &module)
{
    const int row = m_table->rowCount();
    m_table->insertRow(row);
    const QStringList texts = rowTexts(module);
    const QString reply = QStringLiteral("Reply: %1").arg(displayText(module.reply));
    for (int column = 0; column < ColumnCount; ++column) {
        auto *item = new QTableWidgetItem(texts.at(column));
        item->setToolTip(column == HowToTalkColumn ? texts.at(column) : reply);
        m_table->setItem(row, column, item);
    }
    m_table->resizeColumnsToContents();
    ++m_foundCount;
}

void FindWindow::showEnd(SearchEnd end, const QString &failure, std::int64_t elapsedMs)
{
    const QString took = foundText::duration(elapsedMs);
    switch (end) {
    case SearchEnd::Found:
        m_status->setText(QStringLiteral("找到 %1 个/Found %1 in %2").arg(m_foundCount).arg(took));
        break;
    case SearchEnd::NoneFound:
        m_status->setText(QStringLiteral("没有找到模块/No module found in %1").arg(took));
        break;
    case SearchEnd::Stopped:
        m_status->setText(
            QStringLiteral("已停止/Stopped after %1: %2 found").arg(took).arg(m_foundCount));
        break;
    case SearchEnd::PortUnusable: {
        QString why = failure;
        const QString detail = m_portFailure ? m_portFailure() : QString();
        if (!detail.isEmpty())
            why += QStringLiteral(": ") + detail;
        m_status->setText(QStringLiteral("串口不能用/The port cannot be used: %1").arg(why));
        break;
    }
    }
}

QString FindWindow::tableText(bool selectedOnly) const
{
    QStringList lines;
    QStringList header;
    for (int column = 0; column < ColumnCount; ++column)
        header << m_table->horizontalHeaderItem(column)->text();
    lines << header.join(u'\t');
    const QModelIndexList selected = m_table->selectionModel()->selectedRows();
    for (int row = 0; row < m_table->rowCount(); ++row) {
        const bool wanted = !selectedOnly || selected.isEmpty() ||
                            m_table->selectionModel()->isRowSelected(row, QModelIndex());
        if (!wanted)
            continue;
        QStringList cells;
        for (int column = 0; column < ColumnCount; ++column)
            cells << m_table->item(row, column)->text();
        lines << cells.join(u'\t');
    }
    return lines.join(u'\n') + u'\n';
}

void FindWindow::copyRows(bool selectedOnly) const
{
    QApplication::clipboard()->setText(tableText(selectedOnly));
}
