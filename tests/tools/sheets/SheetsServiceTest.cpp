// The real impix-sheets on a private socket folder, driven over the protocol as the console's
// export drives it: open a copy of the template, write cells, poke a 1,000-row block, save; the
// saved file is then read back with openpyxl and compared part by part with the template.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <QThread>
#include <zip.h>

#include "SheetsTestUtil.h"
#include "ZipPackage.h"
#include "support/ChildProcess.h"
#include "support/SheetsProcess.h"

using namespace sheets;
using namespace sheets::test;
using dde::MessageKind;

namespace {

QStringList EntryNames(const QString& path) {
    QStringList names;
    zip_t* z = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, nullptr);
    if (!z)
        return names;
    for (zip_int64_t i = 0; i < zip_get_num_entries(z, 0); ++i)
        names << QString::fromUtf8(zip_get_name(z, zip_uint64_t(i), 0));
    zip_close(z);
    return names;
}

const char* const Check = R"(
import sys, openpyxl
wb = openpyxl.load_workbook(open(sys.argv[1], 'rb'))  # by content, whatever the name
assert wb.sheetnames == ['Desc'] + ['Channel_%d' % n for n in range(1, 17)], wb.sheetnames
assert wb['Desc']['A1'].value == 'Measure Settings: F=1000Hz, U=1.00V', wb['Desc']['A1'].value
ws = wb['Channel_1']
assert ws['A1'].value == 'Board 3', ws['A1'].value
assert [c.value for c in ws[2]][:6] == ['Number', 'Date', 'Time', 'Range', 'Rp', 'Xp']
assert ws['A2'].font.b, 'header not bold'
for i in range(1000):
    row = [c.value for c in ws[3 + i]][:6]
    want = [i + 1, '%02d.12' % (i % 28 + 1), '12:%02d:00' % (i % 60), i % 4, i * 37 - 5000, -i]
    assert row == want, (3 + i, row, want)
assert ws['B3'].data_type == 's' and ws['A3'].data_type == 'n'
assert ws['G3'].value is None
assert ws['A1003'].value is None
assert ws['B1005'].value == 'q"<&>\tx\r\ny \u0159\u00e1dek'
assert ws.freeze_panes == 'A3', ws.freeze_panes
assert wb['Channel_2']['A2'].value == 'Number'
print('ok')
)";

} // namespace

TEST(SheetsService, FillsAWorkbookAsTheExportDoes) {
    QTemporaryDir work;
    SheetsProcess service({"--verbose"});
    ASSERT_TRUE(service.Ok()) << "the service did not start";
    const QString target = work.filePath("Data.xls");
    ASSERT_TRUE(QFile::copy(TemplatePath(), target));
    QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);

    Client c;
    ASSERT_TRUE(c.connect(service.Socket()));
    auto kind = [&](const dde::Message& m) {
        const auto r = c.call(m);
        return r ? r->kind : MessageKind::Close;
    };
    auto data = [&](const QString& item) {
        const auto r = c.call(Msg(MessageKind::Request, item));
        return r && r->kind == MessageKind::Data ? r->a : QStringLiteral("<no reply>");
    };
    auto exec = [&](const QString& cmd) { return kind(Msg(MessageKind::Execute, cmd)); };

    EXPECT_EQ(kind(Msg(MessageKind::Connect, "Word", "System")), MessageKind::Refused);
    EXPECT_EQ(kind(Msg(MessageKind::Connect, "Excel", "[Data.xls]Desc")), MessageKind::Refused);
    ASSERT_EQ(kind(Msg(MessageKind::Connect, "Excel", "System")), MessageKind::Accepted);
    EXPECT_EQ(data("Status"), "Ready");
    EXPECT_EQ(data("Selection"), "<no reply>");
    EXPECT_EQ(data("Topics"), "System");
    EXPECT_EQ(data("Nonsense"), "<no reply>");
    EXPECT_EQ(exec("[SAVE]"), MessageKind::Refused); // no workbook yet
    EXPECT_EQ(exec("[OPEN(\"" + work.filePath("missing.xls") + "\")]"), MessageKind::Refused);

    // A waiting execute gets Accepted, then Completed.
    const auto open = c.call(Msg(MessageKind::Execute, "[OPEN(\"" + target + "\")]", {}, true));
    ASSERT_TRUE(open && open->kind == MessageKind::Accepted) << (open ? open->a.toStdString() : "");
    const auto done = c.next();
    ASSERT_TRUE(done && done->kind == MessageKind::Completed && done->seq == open->seq);
    const QStringList topics = data("Topics").split('\t');
    ASSERT_EQ(topics.size(), 18);
    EXPECT_EQ(topics.front(), "[Data.xls]Desc");
    EXPECT_EQ(topics[16], "[Data.xls]Channel_16");
    EXPECT_EQ(topics.back(), "System");
    EXPECT_EQ(data("Selection"), "[Data.xls]Desc!R1C1");

    EXPECT_EQ(exec("[WORKBOOK.SELECT(\"Desc\")]"), MessageKind::Accepted);
    EXPECT_EQ(exec("[FORMULA(\"Measure Settings: F=1000Hz, U=1.00V\",\"R1C1\")]"),
              MessageKind::Accepted);
    EXPECT_EQ(exec("[WORKBOOK.SELECT(\"Channel_1\")][SELECT(\"R1C1\")]"), MessageKind::Accepted);
    EXPECT_EQ(data("Selection"), "[Data.xls]Channel_1!R1C1");
    EXPECT_EQ(exec("[FORMULA(\"Board 3\",\"R1C1\")]"), MessageKind::Accepted);
    EXPECT_EQ(exec("[FORMULA(\"q\"\"<&>\tx\r\ny řádek\",\"R1005C2\")]"), MessageKind::Accepted);
    for (const char* bad : {"[WORKBOOK.SELECT(\"Channel_99\")]", "[SELECT(\"R0C1\")]",
                            "[FORMULA(\"x\",\"R1C16385\")]", "[QUIT]", "[SAVE", "SAVE"})
        EXPECT_EQ(exec(bad), MessageKind::Refused) << bad;
    EXPECT_EQ(kind(Msg(MessageKind::Poke, "R1C1", "x")), MessageKind::Refused); // not a sheet

    // The block poke, as the link does it: to the sheet topic and back.
    QString block = "Number\tDate\tTime\tRange\tRp\tXp\r\n";
    for (int i = 0; i < 1000; ++i)
        block += QStringLiteral("%1\t%2.12\t12:%3:00\t%4\t%5\t%6\r\n")
                     .arg(i + 1)
                     .arg(i % 28 + 1, 2, 10, QChar('0'))
                     .arg(i % 60, 2, 10, QChar('0'))
                     .arg(i % 4)
                     .arg(i * 37 - 5000)
                     .arg(-i);
    EXPECT_EQ(kind(Msg(MessageKind::Close)), MessageKind::Closed);
    ASSERT_EQ(kind(Msg(MessageKind::Connect, "Excel", "[DATA.XLS]Channel_1")),
              MessageKind::Accepted);
    EXPECT_EQ(kind(Msg(MessageKind::Poke, "R2C1:R1002C7", block)), MessageKind::Accepted);
    EXPECT_EQ(data("R2C1"), "Number");
    EXPECT_EQ(data("R1002C5"), QString::number(999 * 37 - 5000));
    EXPECT_EQ(kind(Msg(MessageKind::Poke, "R2C1:R3C7", block)), MessageKind::Refused);
    const auto pastTheEnd = c.call(Msg(MessageKind::Poke, "R1048576C1:R1048577C1", "1"));
    ASSERT_TRUE(pastTheEnd && pastTheEnd->kind == MessageKind::Refused);
    EXPECT_TRUE(pastTheEnd->a.contains("past the last row of a sheet, 1048576"))
        << pastTheEnd->a.toStdString();
    EXPECT_EQ(kind(Msg(MessageKind::Execute, "[SAVE]")), MessageKind::Refused);
    EXPECT_EQ(kind(Msg(MessageKind::Close)), MessageKind::Closed);
    ASSERT_EQ(kind(Msg(MessageKind::Connect, "Excel", "System")), MessageKind::Accepted);
    EXPECT_EQ(data("Selection"), "[Data.xls]Channel_1!R1C1"); // the workbook stayed open

    // Garbage on a second session ends that session only; a second service leaves quietly.
    {
        Client bad;
        ASSERT_TRUE(bad.connect(service.Socket()));
        EXPECT_EQ(bad.call(Msg(MessageKind::Connect, "Excel", "System"))->kind,
                  MessageKind::Accepted);
        EXPECT_EQ(bad.call(Msg(MessageKind::Execute, "[OPEN(\"" + target + "\")]"))->kind,
                  MessageKind::Refused); // open in the first session
        bad.sendRaw(QByteArray("\xff\xff\xff\xff garbage", 12));
        EXPECT_FALSE(bad.next(5000));
        EXPECT_EQ(bad.socket().state(), QLocalSocket::UnconnectedState);
        const ProgramRun second = RunProgram(BuildDir() + "/impix-sheets", {},
                                             {"XDG_RUNTIME_DIR=" + service.RuntimeDir()}, 10000);
        ASSERT_TRUE(second.finished);
        EXPECT_EQ(second.exitCode, 0);
        EXPECT_TRUE(second.output.isEmpty());
    }
    EXPECT_EQ(data("Status"), "Ready");

    ASSERT_EQ(exec("[SAVE]"), MessageKind::Accepted);
    EXPECT_EQ(exec("[SELECT(\"R21C2\")]"), MessageKind::Accepted);
    c.socket().disconnectFromServer();

    // What another program sees in the saved file.
    const ProgramRun python = RunProgram("/usr/bin/python3", {"-c", Check, target});
    ASSERT_TRUE(python.finished);
    EXPECT_EQ(python.output.trimmed(), "ok") << python.errors.toStdString();
    EXPECT_EQ(QFile::permissions(target) & QFile::ReadGroup, QFile::ReadGroup);

    // Every part but the two written sheets and the chart drawn on the channel sheet (fitted to
    // its rows) is the template's, byte for byte.
    const QStringList names = EntryNames(TemplatePath());
    ASSERT_EQ(EntryNames(target), names);
    ZipPackage before, after;
    QString error;
    ASSERT_TRUE(before.open(ReadAll(TemplatePath())));
    ASSERT_TRUE(after.open(ReadAll(target)));
    int same = 0;
    for (const QString& n : names) {
        const std::string name = n.toStdString();
        const bool written = name == "xl/worksheets/sheet1.xml" ||
                             name == "xl/worksheets/sheet2.xml" || name == "xl/charts/chart1.xml";
        EXPECT_EQ(before.read(name).value_or("") == after.read(name).value_or(""), !written)
            << name;
        same += written ? 0 : 1;
    }
    EXPECT_TRUE(after.contains("xl/charts/chart1.xml"));
    EXPECT_GT(same, 40);
}

TEST(SheetsService, AnswersWithOtherLettersAndRefusesAnUnfitFolder) {
    QTemporaryDir runtime, work;
    const QString target = work.filePath("Data.xls");
    ASSERT_TRUE(QFile::copy(TemplatePath(), target));
    {
        SheetsProcess service({"--letters", "ZS"});
        Client c;
        ASSERT_TRUE(c.connect(service.Socket()));
        c.call(Msg(MessageKind::Connect, "Excel", "System"));
        EXPECT_EQ(
            c.call(Msg(MessageKind::Execute, "[OPEN(\"" + target + "\")][SELECT(\"R2C3\")]"))->kind,
            MessageKind::Accepted);
        EXPECT_EQ(c.call(Msg(MessageKind::Request, "Selection"))->a, "[Data.xls]Desc!Z2S3");
        c.call(Msg(MessageKind::Connect, "Excel", "[Data.xls]Desc"));
        EXPECT_EQ(c.call(Msg(MessageKind::Poke, "Z1S1:Z1S2", "a\tb"))->kind, MessageKind::Accepted);
        EXPECT_EQ(c.call(Msg(MessageKind::Poke, "R1C1:R1C2", "a\tb"))->kind, MessageKind::Refused);
        EXPECT_EQ(c.call(Msg(MessageKind::Request, "Z1S2"))->a, "b");
    }
    // A socket folder open to others: refused with a message and status 1.
    QDir(runtime.path()).mkdir("open");
    const QString folder = runtime.filePath("open/impix-dde");
    QDir().mkdir(folder);
    QFile::setPermissions(folder, QFile::Permissions(0x7777));
    const ProgramRun p = RunProgram(BuildDir() + "/impix-sheets", {},
                                    {"XDG_RUNTIME_DIR=" + runtime.filePath("open")}, 10000);
    ASSERT_TRUE(p.finished);
    EXPECT_EQ(p.exitCode, 1);
    EXPECT_TRUE(p.errors.contains("open to other users"));
}
