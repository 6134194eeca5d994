#include "serial/SerialSettings.h"

#include <gtest/gtest.h>

namespace {

struct GoodLine
{
    const char *text;
    qint32 baudRate;
    QSerialPort::Parity parity;
    QSerialPort::DataBits dataBits;
    QSerialPort::StopBits stopBits;
};

TEST(SerialSettingsParse, ReadsEveryFieldOfWellFormedLines)
{
    using S = QSerialPort;
    const GoodLine lines[] = {
        {"9600,N,8,1", 9600, S::NoParity, S::Data8, S::OneStop},
        {"19200,e,7,2", 19200, S::EvenParity, S::Data7, S::TwoStop},
        {"115200,O,8,1", 115200, S::OddParity, S::Data8, S::OneStop},
        {"300,M,7,1", 300, S::MarkParity, S::Data7, S::OneStop},
        {"1200,s,6,2", 1200, S::SpaceParity, S::Data6, S::TwoStop},
        {"110,N,5,1.5", 110, S::NoParity, S::Data5, S::OneAndHalfStop},
        {" 250000 , N , 8 , 1 ", 250000, S::NoParity, S::Data8, S::OneStop},
        {"2147483647,N,8,1", 2147483647, S::NoParity, S::Data8, S::OneStop},
    };
    for (const GoodLine &line : lines) {
        SCOPED_TRACE(line.text);
        const auto settings = SerialSettings::parse(QString::fromLatin1(line.text));
        ASSERT_TRUE(settings.has_value());
        EXPECT_EQ(settings->baudRate, line.baudRate);
        EXPECT_EQ(settings->parity, line.parity);
        EXPECT_EQ(settings->dataBits, line.dataBits);
        EXPECT_EQ(settings->stopBits, line.stopBits);
    }
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
        "9600,N,4,1", "9600,N,9,1",
        "9600,N,8,0", "9600,N,8,3", "9600,N,8,1.0", "9600,N,8,1.5", "9600,N,7,1.5"};
    // clang-format on
    for (const char *line : lines)
        EXPECT_FALSE(SerialSettings::parse(QString::fromLatin1(line)).has_value()) << line;
}

} // namespace
