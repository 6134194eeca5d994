#include "SearchFakes.h"

#include <gtest/gtest.h>

#include <string>

namespace {

SearchPlan onePlan(int rate, bool character, bool modbus, int first, int last)
{
    SearchPlan plan;
    plan.com = 4;
    plan.rates = {rate};
    plan.characterProtocol = character;
    plan.modbusRtu = modbus;
    plan.firstAddress = first;
    plan.lastAddress = last;
    return plan;
}

// One silent probe at each rate: its bytes, its rate, and how long it waits for a reply, on a
// clock that polls in whole milliseconds. The wait is the probe's characters, the MODBUS frame
// gap, the 20 ms default turnaround and one reply character, rounded up to the next poll.
struct ProbeCase
{
    int rate;
    int characterWaitMs;
    int modbusWaitMs;
};

const ProbeCase kProbeCases[] = {
    {300, 221, 437}, {600, 121, 229}, {1200, 71, 125}, {2400, 46, 73},  {4800, 33, 47},
    {9600, 27, 34},  {19200, 24, 27}, {38400, 22, 25}, {57600, 22, 24}, {115200, 21, 23},
};

class ProbeAtRate : public testing::TestWithParam<ProbeCase>
{
};

TEST_P(ProbeAtRate, SendsItsBytesAndWaitsOnlyForTheWire)
{
    const ProbeCase &c = GetParam();
    for (const bool modbus : {false, true}) {
        SCOPED_TRACE(modbus ? "MODBUS RTU" : "character");
        SearchRig rig;
        EXPECT_EQ(rig.run(onePlan(c.rate, !modbus, modbus, 0x01, 0x01)), SearchEnd::NoneFound);
        ASSERT_EQ(rig.line.writes.size(), 1u);
        const FakeLine::Written &probe = rig.line.writes.front();
        EXPECT_EQ(probe.bytes, modbus ? QByteArray::fromHex("010300000004"
                                                            "4409")
                                      : QByteArray("$012\r"));
        EXPECT_EQ(probe.rate, c.rate);
        EXPECT_EQ(rig.line.settingsSet.back(), QStringLiteral("%1,N,8,1").arg(c.rate));
        EXPECT_EQ(rig.line.closedAtUs - probe.atUs,
                  std::int64_t(modbus ? c.modbusWaitMs : c.characterWaitMs) * 1000);
    }
}

INSTANTIATE_TEST_SUITE_P(Find, ProbeAtRate, testing::ValuesIn(kProbeCases),
                         [](const auto &info) { return std::to_string(info.param.rate); });

// What a line says back, and what the search reports of it: one string per report,
// "address rate protocol format|name|firmware|wellFormed|note".
struct ReplyCase
{
    const char *name;
    SearchPlan plan;
    std::map<std::pair<QByteArray, int>, QByteArray> replies;
    std::vector<std::string> reports;
    std::map<QByteArray, std::int64_t> lateUs = {}; // a module's own turnaround for a command
};

std::string describe(const FoundModule &m)
{
    return QStringLiteral("%1 %2 %3 %4|%5|%6|%7|%8")
        .arg(m.address, 2, 16, QLatin1Char('0'))
        .arg(m.rate)
        .arg(m.protocol == tolvane::Protocol::ModbusRtu ? "rtu" : "char")
        .arg(m.formatCode, m.name, m.firmware, m.wellFormed ? "ok" : "bad", m.note)
        .toStdString();
}

const ReplyCase kReplyCases[] = {
    {"ConfigurationNameAndFirmware",
     onePlan(9600, true, false, 0x09, 0x0B),
     {{{"$0A2\r", 9600}, "!0A000602\r"},
      {{"$0AM\r", 9600}, "!0AAI-8 IN\r"},
      {{"$0AF\r", 9600}, "!0AB1.2\r"}},
     {"0a 9600 char 02|AI-8 IN|B1.2|ok|"}},
    {"RefusalStillProvesAModule",
     onePlan(9600, true, false, 0x05, 0x05),
     {{{"$052\r", 9600}, "?05\r"}, {{"$05M\r", 9600}, "?05\r"}},
     {"05 9600 char |||ok|refused $052 (?05): a module is there"}},
    {"ConfigAddressReportsTheModuleOnceAtItsOwnAddress",
     onePlan(1200, true, false, 0x00, 0x02),
     {{{"$002\r", 1200}, "!02000300\r"},
      {{"$022\r", 1200}, "!02000300\r"},
      {{"$02M\r", 1200}, "!02SLOW\r"}},
     {"02 1200 char 00|SLOW||ok|answers the configuration address 00 as well"}},
    {"WrongAddressIsReportedNotDropped",
     onePlan(9600, true, false, 0x03, 0x03),
     {{{"$032\r", 9600}, "!04000600\r"}},
     {"03 9600 char |||bad|the reply to 03 came from 04: two modules at 03?"}},
    {"GarbledReplyIsReported",
     onePlan(9600, true, false, 0x07, 0x07),
     {{{"$072\r", 9600}, QByteArray("!0\x85Z\r")}},
     {"07 9600 char |||bad|garbled reply: two modules at 07?"}},
    {"TwoRepliesToTheConfigAddress",
     onePlan(9600, true, false, 0x00, 0x00),
     {{{"$002\r", 9600}, "!01000600\r!02000600\r"}},
     {"00 9600 char |||bad|garbled reply: two modules that take 00?"}},
    {"CutReplyIsGarbledAndTheSearchGoesOn",
     onePlan(9600, true, false, 0x01, 0x02),
     {{{"$012\r", 9600}, "!0100"}, {{"$022\r", 9600}, "!02000601\r"}},
     {"01 9600 char |||bad|garbled reply: two modules at 01?", "02 9600 char 01|||ok|"}},
    {"RateCodeThatDisagreesIsNoted",
     onePlan(9600, true, false, 0x01, 0x01),
     {{{"$012\r", 9600}, "!01000700\r"}},
     {"01 9600 char 00|||ok|answers at 9600 baud but gives rate code 07"}},
    {"ModbusModuleMap",
     onePlan(19200, false, true, 0x05, 0x05),
     {{{rtuFrame("050300000004"), 19200}, rtuFrame("0503080005000700020001")}},
     {"05 19200 rtu 02|module map: address, rate, format, protocol||ok|"}},
    {"ModbusExceptionProvesADevice",
     onePlan(9600, false, true, 0x05, 0x05),
     {{{rtuFrame("050300000004"), 9600}, rtuFrame("058302")}},
     {"05 9600 rtu |||ok|a device: exception 2 (illegal data address) to a read of holding "
      "registers"}},
    {"ModbusOtherRegisters",
     onePlan(9600, false, true, 0x05, 0x05),
     {{{rtuFrame("050300000004"), 9600}, rtuFrame("05030800FA1234000000FF")}},
     {"05 9600 rtu |||ok|holding registers 0-3: 250 4660 0 255"}},
    {"ModbusBadCrcIsGarbled",
     onePlan(9600, false, true, 0x05, 0x06),
     {{{rtuFrame("050300000004"), 9600}, QByteArray::fromHex("0583020000")},
      {{rtuFrame("060300000004"), 9600}, rtuFrame("068302")}},
     {"05 9600 rtu |||bad|garbled frame: two devices at 5?",
      "06 9600 rtu |||ok|a device: exception 2 (illegal data address) to a read of holding "
      "registers"}},
    {"ModbusWrongAddress",
     onePlan(9600, false, true, 0x05, 0x05),
     {{{rtuFrame("050300000004"), 9600}, rtuFrame("078302")}},
     {"05 9600 rtu |||bad|the reply to 5 came from 7: two devices at 5?"}},
    // Slower than the turnaround, 01 answers in the next probe's wait: asked again, 02 is
    // silent, so the reply was 01's own.
    {"LateReplyIsTheSlowModulesNotAWrongAddress",
     onePlan(9600, true, false, 0x01, 0x03),
     {{{"$012\r", 9600}, "!01000600\r"}},
     {"01 9600 char 00|||ok|answered after the turnaround: search with --turnaround above 20 ms"},
     {{"$012\r", 30000}}},
    {"ModuleAtAnotherRateIsFoundAtItsOwn",
     [] {
         SearchPlan plan = onePlan(9600, true, true, 0x01, 0x01);
         plan.rates = {9600, 300};
         return plan;
     }(),
     {{{"$012\r", 300}, "!01000100\r"}},
     {"01 300 char 00|||ok|"}},
};

void PrintTo(const ReplyCase &c, std::ostream *os)
{
    *os << c.name;
}

class SearchReplies : public testing::TestWithParam<ReplyCase>
{
};

TEST_P(SearchReplies, AreReportedAsWhatTheySay)
{
    const ReplyCase &c = GetParam();
    SearchRig rig;
    rig.line.replies = c.replies;
    rig.line.lateUs = c.lateUs;
    const SearchEnd end = rig.run(c.plan);
    std::vector<std::string> reports;
    for (const FoundModule &module : rig.observer.found_) {
        reports.push_back(describe(module));
        EXPECT_EQ(module.com, 4);
    }
    EXPECT_EQ(reports, c.reports);
    EXPECT_EQ(end, c.reports.empty() ? SearchEnd::NoneFound : SearchEnd::Found);
    EXPECT_FALSE(rig.line.open);
}

INSTANTIATE_TEST_SUITE_P(Find, SearchReplies, testing::ValuesIn(kReplyCases),
                         [](const auto &info) { return std::string(info.param.name); });

// A line with modules at 02 and 05 (9600) and 01 (1200), for the tests of the search's course.
SearchRig &withModules(SearchRig &rig)
{
    rig.line.replies = {{{"$022\r", 9600}, "!02000600\r"},
                        {{"$052\r", 9600}, "!05000600\r"},
                        {{"$012\r", 1200}, "!01000300\r"}};
    return rig;
}

SearchPlan threeRates()
{
    SearchPlan plan = onePlan(9600, true, true, 0x00, 0x07);
    plan.rates = {9600, 1200, 300};
    return plan;
}

TEST(SearchCourse, DefaultRatesGoLikeliestFirstAndProgressCountsDown)
{
    SearchRig rig;
    SearchPlan plan = onePlan(9600, true, false, 0x01, 0x01);
    plan.rates.clear();
    rig.run(plan);
    std::vector<int> rates;
    for (const FakeLine::Written &probe : rig.line.writes)
        rates.push_back(probe.rate);
    EXPECT_EQ(rates,
              (std::vector<int>{9600, 115200, 19200, 38400, 57600, 4800, 2400, 1200, 600, 300}));
    const auto &seen = rig.observer.progressSeen;
    ASSERT_EQ(seen.size(), 11u);
    EXPECT_EQ(seen.front(), std::make_pair(0, ModuleSearch::worstCaseMs(plan)));
    EXPECT_EQ(seen.back(), std::make_pair(10, std::int64_t(0)));
    // The estimate held: the search took no longer than it said.
    EXPECT_LE(rig.line.closedAtUs - 1'000'000, ModuleSearch::worstCaseMs(plan) * 1000);
}

TEST(SearchCourse, StopEndsAtOnceKeepsWhatWasFoundAndClosesThePort)
{
    SearchRig rig;
    withModules(rig);
    std::int64_t stoppedAt = 0;
    rig.observer.onFound = [&](const FoundModule &module) {
        if (module.address == 0x05)
            rig.pump.at[rig.clock.now + 5000] = [&] {
                stoppedAt = rig.clock.now;
                rig.search.stop();
            };
    };
    EXPECT_EQ(rig.run(threeRates()), SearchEnd::Stopped);
    ASSERT_EQ(rig.observer.found_.size(), 2u);
    EXPECT_EQ(rig.line.closedAtUs, stoppedAt);
    EXPECT_EQ(rig.line.writes.back().rate, 9600); // never got to 1200
}

} // namespace
