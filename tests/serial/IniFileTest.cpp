// The configuration file reader and writer: reading rules of integer keys, names without case,
// rewriting one section while the rest of the file stays, and safe failure.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "base/Failure.h"
#include "serial/IniFile.h"

namespace {
class IniFileTest : public testing::Test {
protected:
    QString Write(const QByteArray& content) {
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(content);
        return path;
    }
    QByteArray Content() const {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

    QTemporaryDir dir;
    QString path = dir.path() + "/Impix2.cfg";
};

TEST(IniParseInteger, DecimalHexAndGarbage) {
    using P = std::optional<int>;
    EXPECT_EQ(IniFile::ParseInteger("12305"), P(12305));
    EXPECT_EQ(IniFile::ParseInteger("  -1 \t"), P(-1));
    EXPECT_EQ(IniFile::ParseInteger("+7"), P(7));
    EXPECT_EQ(IniFile::ParseInteger("0x3011"), P(12305));
    EXPECT_EQ(IniFile::ParseInteger("0XfF"), P(255));
    EXPECT_EQ(IniFile::ParseInteger("0xFFFFFFFF"), P(-1)); // fills the 32-bit word
    EXPECT_EQ(IniFile::ParseInteger("0x0000000000001"), P(1));
    EXPECT_EQ(IniFile::ParseInteger("\"42\""), P(42));
    EXPECT_EQ(IniFile::ParseInteger("2147483647"), P(2147483647));
    EXPECT_EQ(IniFile::ParseInteger("-2147483648"), P(-2147483647 - 1));

    for (const char* bad : {"", "  ", "0x", "0x12G", "x12", "12a", "1 2", "9600.0", "2147483648",
                            "-2147483649", "0x100000000", "-", "+", "--1", "-0x10", "\"12"})
        EXPECT_EQ(IniFile::ParseInteger(bad), std::nullopt) << bad;
}

TEST_F(IniFileTest, ReadsKeysWithoutRegardToCase) {
    Write("; comment\n[other]\nPORT=9\n[com]\n port = 5 \nBaudRate=0x4B00\nFLAGS=abc\n[COM]\n"
          "STOP=2\n");
    const IniFile ini(path);
    EXPECT_EQ(ini.ReadInteger("COM", "PORT", 2), 5);
    EXPECT_EQ(ini.ReadInteger("Com", "baudrate", 9600), 19200);
    EXPECT_EQ(ini.ReadInteger("COM", "FLAGS", 12305), 12305); // not a number: the default
    EXPECT_EQ(ini.ReadInteger("COM", "LENGTH", 8), 8);        // missing: the default
    EXPECT_EQ(ini.ReadInteger("OTHER", "PORT", 2), 9);
    // The first section of a name counts, as on Windows.
    EXPECT_EQ(ini.ReadInteger("COM", "STOP", 0), 0);
}

TEST_F(IniFileTest, MissingFolderOrGarbageGivesDefaults) {
    EXPECT_EQ(IniFile(dir.path() + "/none.cfg").ReadInteger("COM", "PORT", 2), 2);
    EXPECT_EQ(IniFile(dir.path()).ReadInteger("COM", "PORT", 2), 2); // a folder, not a file

    QByteArray garbage;
    for (int i = 0; i < 5000; ++i)
        garbage.append(static_cast<char>((i * 7919) & 0xFF));
    garbage += "\n[COM\n=\n==\n[]\n[COM]]\nPORT\n";
    garbage += QByteArray(3, '\0') + "\r\r\n";
    garbage += QByteArray(1 << 20, 'x'); // a line of a megabyte
    garbage += "\n[COM]\nPORT=\xff\xfe\n";
    Write(garbage);
    const IniFile ini(path);
    EXPECT_EQ(ini.ReadInteger("COM", "PORT", 2), 2);
    EXPECT_EQ(ini.ReadInteger("COM", "BAUDRATE", 9600), 9600);
}

TEST_F(IniFileTest, BinaryContentBeforeTheSectionStillReads) {
    Write(QByteArray("\0\x01\x02junk\n", 8) + "\xEF\xBB\xBF[COM]\r\nPORT=3\r\n");
    EXPECT_EQ(IniFile(path).ReadInteger("COM", "PORT", 2), 3);
}

TEST_F(IniFileTest, WritingKeepsTheRestOfTheFile) {
    Write("# head\n[Other]\nA=1\n\n[COM]\nport=5\n; note\n\n[Last]\nB=2");
    IniFile ini(path);
    ini.WriteInteger("COM", "PORT", 7);
    ini.WriteInteger("COM", "BAUDRATE", 19200);
    ini.WriteInteger("COM", "FLAGS", -1);
    ini.Save();
    EXPECT_EQ(Content(), "# head\n[Other]\nA=1\n\n[COM]\nport=7\n; note\nBAUDRATE=19200\n"
                         "FLAGS=-1\n\n[Last]\nB=2\n");
    const IniFile again(path);
    EXPECT_EQ(again.ReadInteger("COM", "PORT", 0), 7);
    EXPECT_EQ(again.ReadInteger("COM", "FLAGS", 0), -1);
    EXPECT_EQ(again.ReadInteger("LAST", "B", 0), 2);
}

TEST_F(IniFileTest, WritingANewSectionAndNewFile) {
    Write("[Other]\r\nA=1\r\n");
    IniFile ini(path);
    ini.WriteInteger("COM", "PORT", 4);
    ini.Save();
    EXPECT_EQ(Content(), "[Other]\r\nA=1\r\n\r\n[COM]\r\nPORT=4\r\n"); // CR LF kept

    QFile::remove(path);
    IniFile fresh(path);
    fresh.WriteInteger("COM", "PORT", 2);
    fresh.WriteInteger("COM", "STOP", 0);
    fresh.Save();
    EXPECT_EQ(Content(), "[COM]\nPORT=2\nSTOP=0\n");
}

TEST_F(IniFileTest, FailedWriteThrowsAndLeavesTheOldFile) {
    // A path below a plain file cannot be created, whoever runs the test.
    Write("[COM]\nPORT=5\n");
    const QString below = path + "/sub.cfg";
    IniFile ini(below);
    ini.WriteInteger("COM", "PORT", 1);
    try {
        ini.Save();
        FAIL() << "no failure";
    } catch (const Failure& f) {
        EXPECT_EQ(f.text(), "Unable to write to " + below + ": Not a directory");
    }
    // A file the operator made read-only stays as it is, also for root.
    ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::ReadOwner));
    IniFile locked(path);
    locked.WriteInteger("COM", "PORT", 7);
    EXPECT_THROW(locked.Save(), Failure);
    EXPECT_EQ(Content(), "[COM]\nPORT=5\n");
    ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner));

    // The old file is replaced only by a complete new one: no temporary is left behind.
    IniFile ok(path);
    ok.WriteInteger("COM", "PORT", 6);
    ok.Save();
    EXPECT_EQ(Content(), "[COM]\nPORT=6\n");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"Impix2.cfg"});
}

TEST_F(IniFileTest, WritingThroughALinkKeepsTheLink) {
    const QString real = dir.path() + "/real.cfg";
    QFile f(real);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[COM]\nPORT=5\n");
    f.close();
    ASSERT_TRUE(QFile::link(real, path));
    IniFile ini(path);
    ini.WriteInteger("COM", "PORT", 8);
    ini.Save();
    EXPECT_TRUE(QFileInfo(path).isSymLink());
    EXPECT_EQ(IniFile(real).ReadInteger("COM", "PORT", 0), 8);
}
} // namespace
