#include "serial/PortOrder.h"
#include "QtPrinting.h"

#include <gtest/gtest.h>

namespace {

struct OrderCase
{
    QStringList given;
    QStringList expected;
};

TEST(SerialPortOrder, UsbFirstThenAcmThenOthersInNaturalOrder)
{
    const OrderCase cases[] = {
        {{}, {}},
        {{"ttyS10", "ttyS2", "ttyS1"}, {"ttyS1", "ttyS2", "ttyS10"}},
        {{"ttyS0", "ttyACM1", "ttyUSB10", "ttyACM0", "ttyUSB2", "ttyAMA0"},
         {"ttyUSB2", "ttyUSB10", "ttyACM0", "ttyACM1", "ttyAMA0", "ttyS0"}},
        {{"/dev/ttyS3", "/dev/ttyACM0", "/dev/ttyUSB0"},
         {"/dev/ttyUSB0", "/dev/ttyACM0", "/dev/ttyS3"}},
        {{"ttyS100", "ttyS20", "ttyS3", "ttyS0"}, {"ttyS0", "ttyS3", "ttyS20", "ttyS100"}},
        {{"ttyXR1p10", "ttyXR1p9", "ttyXR0p2"}, {"ttyXR0p2", "ttyXR1p9", "ttyXR1p10"}},
        {{"ttyS010", "ttyS9"}, {"ttyS9", "ttyS010"}},
        // A name that is the start of another comes first; equal numbers fall back to the text.
        {{"ttyS10", "ttyS1", "ttyS", "ttyS1a"}, {"ttyS", "ttyS1", "ttyS1a", "ttyS10"}},
        {{"ttyS1", "ttyS01", "ttyS001"}, {"ttyS001", "ttyS01", "ttyS1"}},
        {{"rfcomm0", "ttyACM0", "ttyUSB0", "ttyS0"}, {"ttyUSB0", "ttyACM0", "rfcomm0", "ttyS0"}},
    };
    for (const OrderCase &c : cases)
        EXPECT_EQ(orderSerialPorts(c.given), c.expected) << c.given.join(' ').toStdString();
}

} // namespace
