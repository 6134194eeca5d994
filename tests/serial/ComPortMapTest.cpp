#include "serial/ComPortMap.h"
#include "QtPrinting.h"
#include "serial/PortOrder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <utility>

namespace {

class ComPortMapTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_config.isValid());
        qputenv("XDG_CONFIG_HOME", m_config.path().toLocal8Bit());
        m_links = QString::fromStdString(tolvane::linkDirectory());
        ASSERT_TRUE(QDir().mkpath(m_links));
    }

    const QTemporaryDir m_config;
    QString m_links;
    // Unordered on purpose: the map must order them itself.
    const ComPortMap m_map{[] {
        return QStringList{"/dev/ttyS10", "/dev/ttyUSB1", "/dev/ttyS2", "/dev/ttyACM0",
                           "/dev/ttyUSB0"};
    }};
};

TEST_F(ComPortMapTest, NumbersThePortsPresentWhenNoLinkExists)
{
    const QStringList expected{"/dev/ttyUSB0", "/dev/ttyUSB1", "/dev/ttyACM0", "/dev/ttyS2",
                               "/dev/ttyS10"};
    for (int n = 1; n <= 5; ++n)
        EXPECT_EQ(m_map.devicePath(n), expected.at(n - 1)) << n;
    for (int n : {0, 6, tolvane::kLastCom, tolvane::kLastCom + 1, -1})
        EXPECT_FALSE(m_map.devicePath(n).has_value()) << n;

    EXPECT_EQ(m_map.describe(2), "COM2 -> /dev/ttyUSB1 (2nd serial port present)");
    EXPECT_EQ(m_map.describe(3), "COM3 -> /dev/ttyACM0 (3rd serial port present)");
    EXPECT_EQ(m_map.describe(5), "COM5 -> /dev/ttyS10 (5th serial port present)");
    EXPECT_EQ(m_map.describe(6), "COM6: no device");
    // With more than ten present, the 11th to the 13th still end in "th".
    QStringList many;
    for (int i = 0; i < 13; ++i)
        many << QStringLiteral("/dev/ttyUSB%1").arg(i);
    const ComPortMap crowded{[many] { return many; }};
    EXPECT_EQ(crowded.describe(11), "COM11 -> /dev/ttyUSB10 (11th serial port present)");
    EXPECT_EQ(crowded.describe(13), "COM13 -> /dev/ttyUSB12 (13th serial port present)");
    EXPECT_EQ(
        m_map.noDeviceReason(6),
        QStringLiteral("COM6 maps to no device (no link in %1 and only 5 serial ports present)")
            .arg(m_links));
}

TEST_F(ComPortMapTest, LinkOrFileInConfigDirectoryWins)
{
    ASSERT_TRUE(QFile::link("/dev/null", m_links + "/com2"));
    ASSERT_TRUE(QFile::link("/nonexistent/ttyUSB9", m_links + "/com4"));
    QFile plain(m_links + "/com5");
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));

    EXPECT_EQ(m_map.devicePath(2), "/dev/null");
    EXPECT_EQ(m_map.devicePath(4), "/nonexistent/ttyUSB9");
    EXPECT_EQ(m_map.devicePath(5), m_links + "/com5");
    // Links do not renumber the ports present.
    EXPECT_EQ(m_map.devicePath(3), "/dev/ttyACM0");

    EXPECT_EQ(m_map.describe(2), QStringLiteral("COM2 -> /dev/null (link in %1)").arg(m_links));
    EXPECT_EQ(
        m_map.describe(4),
        QStringLiteral("COM4 -> /nonexistent/ttyUSB9 (link in %1; device missing)").arg(m_links));
}

TEST_F(ComPortMapTest, LinkDirectoryFollowsXdgConfigHome)
{
    const QByteArray home = qgetenv("HOME");
    qputenv("HOME", m_config.path().toLocal8Bit());
    const std::pair<const char *, QString> cases[] = {
        {"/srv/cfg", "/srv/cfg/tolvane"},
        {"/srv/cfg/", "/srv/cfg/tolvane"},
        {"", m_config.path() + "/.config/tolvane"},
        {"relative/cfg", m_config.path() + "/.config/tolvane"},
    };
    for (const auto &[xdg, expected] : cases) {
        qputenv("XDG_CONFIG_HOME", xdg);
        EXPECT_EQ(QString::fromStdString(tolvane::linkDirectory()), expected) << xdg;
    }
    ASSERT_TRUE(QDir().mkpath(m_config.path() + "/.config/tolvane"));
    ASSERT_TRUE(QFile::link("/dev/ttyS0", m_config.path() + "/.config/tolvane/com1"));
    EXPECT_EQ(m_map.describe(1), "COM1 -> /dev/ttyS0 (link in ~/.config/tolvane)");
    qputenv("HOME", home);
}

TEST(SerialPortOrder, UsbFirstThenAcmThenOthersInNaturalOrder)
{
    const std::pair<QStringList, QStringList> cases[] = {
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
        {{"ttySAC0", "ttyS1"}, {"ttyS1", "ttySAC0"}}, // a digit against a letter: as text
        {{"rfcomm0", "ttyACM0", "ttyUSB0", "ttyS0"}, {"ttyUSB0", "ttyACM0", "rfcomm0", "ttyS0"}},
    };
    for (const auto &[given, expected] : cases)
        EXPECT_EQ(orderSerialPorts(given), expected) << given.join(' ').toStdString();
}

} // namespace
