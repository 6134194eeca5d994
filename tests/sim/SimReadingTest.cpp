#include "Reading.h"

#include <gtest/gtest.h>

#include <string>

using namespace sim;

namespace {

struct ReadingCase
{
    double volts;
    const char *engineering;
    const char *percent;
    const char *twosComplement;
};

// Full scale is 10 V = 100.00 % = 7FFF; negative counts wrap to 16-bit two's complement.
const ReadingCase kReadings[] = {
    {5.123, "+05.123", "+051.23", "4193"}, {-5.123, "-05.123", "-051.23", "BE6D"},
    {0.0, "+00.000", "+000.00", "0000"},   {0.25, "+00.250", "+002.50", "0333"},
    {10.0, "+10.000", "+100.00", "7FFF"},  {-10.0, "-10.000", "-100.00", "8001"},
    {12.5, "+10.000", "+100.00", "7FFF"},  {-40.0, "-10.000", "-100.00", "8001"},
};

TEST(SimReading, EachFormatWritesTheSameValueItsOwnWay)
{
    for (const ReadingCase &c : kReadings) {
        SCOPED_TRACE(c.volts);
        EXPECT_EQ(formatReading(c.volts, DataFormat::Engineering), c.engineering);
        EXPECT_EQ(formatReading(c.volts, DataFormat::PercentOfFullScale), c.percent);
        EXPECT_EQ(formatReading(c.volts, DataFormat::TwosComplementHex), c.twosComplement);
    }
}

} // namespace
