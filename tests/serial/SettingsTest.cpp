// The serial component's settings in section "COM" of the configuration file.
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "base/Failure.h"
#include "serial/IniFile.h"
#include "serial/RS232.h"

namespace {
class SettingsTest : public testing::Test {
protected:
    void Write(const QByteArray& content) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(content);
    }
    QByteArray Content() const {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QTemporaryDir dir;
    QString path = dir.path() + "/Impix2.cfg";
    TRS232 rs;
};

TEST_F(SettingsTest, DefaultsAfterCreation) {
    EXPECT_TRUE(rs.ConfigFile.isEmpty());
    EXPECT_EQ(rs.Port, 2);
    EXPECT_EQ(rs.Baud, 9600);
    EXPECT_EQ(rs.Length, 8);
    EXPECT_EQ(rs.Parity, 0);
    EXPECT_EQ(rs.Flags, 12305);
    EXPECT_EQ(rs.Stop, 0);
    EXPECT_FALSE(rs.Connected());
    EXPECT_EQ(rs.ComHandle(), 0);
    EXPECT_FALSE(rs.PollingEnabled());
    EXPECT_EQ(rs.GetPortName(), "COM2");
}

TEST_F(SettingsTest, LoadsByTheReadingRules) {
    Write("[COM]\nPORT=7\nBAUDRATE=19200\nLENGTH=264\nPARITY=0x102\nFLAGS=0x3011\nSTOP=-254\n");
    rs.ConfigFile = path;
    rs.Flags = 0;
    rs.LoadSettings();
    EXPECT_EQ(rs.Port, 7);
    EXPECT_EQ(rs.Baud, 19200);
    EXPECT_EQ(rs.Length, 8); // low byte of 264
    EXPECT_EQ(rs.Parity, 2);
    EXPECT_EQ(rs.Flags, 12305);
    EXPECT_EQ(rs.Stop, 2); // low byte of -254

    Write("[COM]\nPORT=seven\nBAUDRATE=\nFLAGS=-1\n");
    rs.LoadSettings();
    EXPECT_EQ(rs.Port, 2);
    EXPECT_EQ(rs.Baud, 9600);
    EXPECT_EQ(rs.Length, 8);
    EXPECT_EQ(rs.Flags, -1);
}

TEST_F(SettingsTest, MissingFileAndEmptyNameGiveDefaultsOrNothing) {
    rs.Port = 5;
    rs.ConfigFile = dir.path() + "/absent.cfg";
    rs.LoadSettings();
    EXPECT_EQ(rs.Port, 2);
    EXPECT_EQ(rs.Flags, 12305);

    // An empty name reads nothing and writes nothing.
    Write("[COM]\nPORT=9\n");
    rs.ConfigFile.clear();
    rs.Port = 4;
    rs.LoadSettings();
    rs.SaveSettings();
    EXPECT_EQ(rs.Port, 4);
    EXPECT_EQ(Content(), "[COM]\nPORT=9\n");
}

TEST_F(SettingsTest, SavesSixKeysInOrderAndMendsNegativeFlags) {
    Write("[Window]\nLeft=10\n\n[COM]\nSTOP=1\nExtra=5\n");
    rs.ConfigFile = path;
    rs.Port = 3;
    rs.Baud = 57600;
    rs.Length = 7;
    rs.Parity = 2;
    rs.Flags = -1;
    rs.Stop = 2;
    rs.SaveSettings();
    EXPECT_EQ(rs.Flags, 12305);
    EXPECT_EQ(Content(), "[Window]\nLeft=10\n\n[COM]\nSTOP=2\nExtra=5\nPORT=3\nBAUDRATE=57600\n"
                         "LENGTH=7\nPARITY=2\nFLAGS=12305\n");

    QFile::remove(path);
    rs.SaveSettings();
    EXPECT_EQ(Content(),
              "[COM]\nPORT=3\nBAUDRATE=57600\nLENGTH=7\nPARITY=2\nFLAGS=12305\nSTOP=2\n");
    TRS232 other;
    other.ConfigFile = path;
    other.LoadSettings();
    EXPECT_EQ(other.Port, 3);
    EXPECT_EQ(other.Baud, 57600);
    EXPECT_EQ(other.Stop, 2);
}

TEST_F(SettingsTest, UnwritableFileFailsWithTheSystemText) {
    Write("x");
    rs.ConfigFile = path + "/Impix2.cfg"; // below a plain file: never writable
    try {
        rs.SaveSettings();
        FAIL() << "no failure";
    } catch (const Failure& f) {
        EXPECT_EQ(f.text(), "Unable to write to " + path + "/Impix2.cfg: Not a directory");
    }
}
} // namespace
