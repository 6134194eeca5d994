#include "serial/SerialSettings.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

TEST(SerialSettingsParse, ReadsEveryFieldOfWellFormedLines)
{
    using P = SerialSettings::Parity;
    using S = SerialSettings::StopBits;
    const std::pair<const char *, SerialSettings> lines[] = {
        {"9600,N,8,1", {9600, P::None, 8, S::One}},
        {"19200,e,7,2", {19200, P::Even, 7, S::Two}},
        {"115200,O,8,1", {115200, P::Odd, 8, S::One}},
        {"300,M,7,1", {300, P::Mark, 7, S::One}},
        {"1200,s,6,2", {1200, P::Space, 6, S::Two}},
        {"110,N,5,1.5", {110, P::None, 5, S::OneAndHalf}},
        {" 250000 , N , 8 , 1 ", {250000, P::None, 8, S::One}},
        {"2147483647,N,8,1", {2147483647, P::None, 8, S::One}},
    };
    for (const auto &[text, settings] : lines)
        EXPECT_EQ(SerialSettings::parse(QString::fromLatin1(text)), settings) << text;
}

TEST(SerialSettingsParse, RejectsJunk)
{
    // One row per field that is wrong.
    // clang-format off
    const char *lines[] = {
        "", "9600", "9600,N,8", "9600,N,8,1,1", "9600;N;8;1",
        "0,N,8,1", "-9600,N,8,1", "+9600,N,8,1", "9600.5,N,8,1", "96OO,N,8,1", ",N,8,1",
        "2147483648,N,8,1",
        "9600,X,8,1", "9600,NE,8,1", "9600,,8,1",
        "9600,N,4,1", "9600,N,9,1", "9600,N,08,1", "9600,N,8.0,1",
        "9600,N,8,0", "9600,N,8,3", "9600,N,8,1.0", "9600,N,8,1.5", "9600,N,7,1.5"};
    // clang-format on
    for (const char *line : lines)
        EXPECT_FALSE(SerialSettings::parse(QString::fromLatin1(line)).has_value()) << line;
}

} // namespace
