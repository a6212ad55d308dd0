// The export's conversation with a spreadsheet in the test process: the commands and blocks it
// sends, in order, and what the closing sequence does after every kind of end.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <climits>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "base/Failure.h"
#include "base/ProgramVersion.h"
#include "buffer/BufferTestRecords.h"
#include "export/Excels.h"
#include "export/MeasurementRow.h"
#include "export/WorkbookExport.h"
#include "support/FakeConversation.h"
#include "support/PokedLines.h"

using buffertest::At;
using buffertest::Record;

namespace {

struct Feedback : ExportFeedback {
    QStringList dialogs;
    int answer = 6;
    QList<int> progress;
    void ErrorDlg(const QString& msg) override { dialogs << "error: " + msg; }
    int ConfirmDlg(const QString& msg) override {
        dialogs << "confirm: " + msg;
        return answer;
    }
    void ExportProgress(int channel, int channels) override {
        EXPECT_EQ(16, channels);
        progress << channel;
    }
};

QStringList AllSheets() {
    QStringList sheets{"Desc"};
    for (int n = 1; n <= 16; ++n)
        sheets << QStringLiteral("Channel_%1").arg(n);
    return sheets;
}

struct Rig {
    QTemporaryDir dir;
    QString tmpl = dir.filePath("Table1.xls");
    QString target = dir.filePath("out/Data.xls");
    FakeConversation* sheet = new FakeConversation;
    TExcel ex{std::unique_ptr<DdeConversation>(sheet), FormatSettings{}, [] { return 0.0; }};
    Feedback feedback;
    RecordStream source;
    ExportRequest request{target,
                          tmpl,
                          3,
                          true,
                          "Measure Settings: F=1000Hz",
                          "/data/measured.txt",
                          QDateTime(QDate(2026, 12, 7), QTime(14, 5, 9))};
    ExportResult result;

    Rig() {
        QFile f(tmpl);
        if (f.open(QIODevice::WriteOnly))
            f.write("template");
        sheet->keepsWorkbooks = true;
        sheet->templateSheets = AllSheets();
    }
    // The failure text, or "" when the export returns.
    QString Run() {
        const Result<ExportResult> run = ExportWorkbook(ex, source, request, {}, feedback);
        if (!run)
            return run.error().text;
        result = *run;
        return {};
    }
    QByteArray Target() const {
        QFile f(target);
        if (QFileInfo(target).exists() && !QFileInfo(target).isFile())
            return "<no file>"; // and not to be opened: it may be a pipe
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>");
    }
    // The trace with the working copy, which must lie beside the target under another name,
    // written as <copy> and its workbook name as <book>.
    QStringList Trace() const {
        QStringList out = sheet->trace;
        static const QRegularExpression openRe(R"re(^exec \[OPEN\("(.*)"\)\]$)re");
        const QStringList opens = out.filter(openRe);
        if (opens.isEmpty())
            return out;
        const QString copy = openRe.match(opens[0]).captured(1);
        EXPECT_EQ(QFileInfo(target).absolutePath(), QFileInfo(copy).absolutePath());
        EXPECT_NE(target, copy);
        out.replaceInStrings(copy, "<copy>");
        return out.replaceInStrings(QFileInfo(copy).fileName(), "<book>");
    }
    // The entries of the target's folder, hidden ones and pipes included, but for the lock
    // files a case makes.
    QStringList Folder() const {
        static const QRegularExpression lock(R"(^(\.~lock\..*#|~\$.*)$)");
        QStringList names =
            QDir(QFileInfo(target).absolutePath())
                .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        names.removeIf([](const QString& n) { return lock.match(n).hasMatch(); });
        return names;
    }
    // Puts `bytes` beside the target as the file `name` (a pipe for null).
    void Beside(const QString& name, const char* bytes, qsizetype size = -1) {
        OldTarget();
        const QString path = QFileInfo(target).absolutePath() + '/' + name;
        if (!bytes) {
            ::mkfifo(QFile::encodeName(path).constData(), 0600);
            return;
        }
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(bytes, size < 0 ? qsizetype(strlen(bytes)) : size);
    }
    void OldTarget() {
        QDir().mkpath(QFileInfo(target).absolutePath());
        QFile f(target);
        f.open(QIODevice::WriteOnly);
        f.write("old");
    }
};

// The commands of channel sheet n with a block of `rows` measurement rows.
QStringList SheetTrace(int n, int rows, int board = 3) {
    const QString sheet = QStringLiteral("Channel_%1").arg(n);
    return {"exec [WORKBOOK.SELECT(\"" + sheet + "\")]",
            QStringLiteral("exec [FORMULA(\"Board %1\",\"R1C1\")]").arg(board),
            "exec [SELECT(\"R1C1\")]",
            QStringLiteral("poke [<book>]%1 R2C1:R%2C7 %3").arg(sheet).arg(2 + rows).arg(rows + 1)};
}

const QStringList OpeningTrace = {"exec [OPEN(\"<copy>\")]", "exec [WORKBOOK.SELECT(\"Desc\")]",
                                  "exec [FORMULA(\"Measure Settings: F=1000Hz\",\"R1C1\")]"};

// The rows below the settings line of "Desc".
const QStringList DescTrace = {"exec [WORKBOOK.SELECT(\"Desc\")]", "exec [SELECT(\"R1C1\")]",
                               "poke [<book>]Desc R3C1:R7C17 5"};

const QStringList ClosingTrace = {"exec [SAVE]", "exec [SELECT(\"R21C2\")]"};

} // namespace

TEST(WorkbookExport, FillsEverySheetOfTheBoardAndSaves) {
    Rig rig;
    const double t = At(2026, 12, 7, 14, 5, 9);
    rig.source.Append(Record(1, 2, 0, 1, 1.23456, -0.0012, t)); // board 3, channel 1
    rig.source.Append(Record(2, 1, 0, 1, 1.0, 1.0, t));         // board 2: left out
    rig.source.Append(Record(3, 2, 4, 2, 65535.0, 0.0, t));     // void: skipped
    rig.source.Append(Record(4, 2, 4, 3, 0.0004, 0.0, t));      // 0.4 is not void
    rig.source.Append(Record(5, 2, 0, 0, 2147483.648, 0.0, t)); // beyond 32 bits
    rig.OldTarget();

    EXPECT_EQ("", rig.Run());
    QStringList want = OpeningTrace;
    for (int n = 1; n <= 16; ++n)
        want += SheetTrace(n, n == 1 ? 2 : n == 5 ? 1 : 0);
    want += DescTrace + ClosingTrace;
    EXPECT_EQ(want, rig.Trace());
    EXPECT_EQ(QStringList({"confirm: File >" + rig.target + "< Exists. Owerwrite??"}),
              rig.feedback.dialogs);
    EXPECT_EQ(QList<int>({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}),
              rig.feedback.progress);
    EXPECT_EQ(QStringList({SheetHeaderRow, "1\t07.12\t14:05:09\t1\t1235\t-1\t46363.586909722224",
                           "5\t07.12\t14:05:09\t0\t2147483648\t0\t46363.586909722224"}),
              PokedLines(rig.sheet->sheetPokes["Channel_1"]));
    EXPECT_EQ(QStringList({SheetHeaderRow, "4\t07.12\t14:05:09\t3\t0\t0\t46363.586909722224"}),
              PokedLines(rig.sheet->sheetPokes["Channel_5"]));
    EXPECT_EQ(QStringList({SheetHeaderRow}), PokedLines(rig.sheet->sheetPokes["Channel_16"]));
    EXPECT_EQ(
        QStringList({"Source\t/data/measured.txt", "Board\t3", "Exported at\t2026-12-07 14:05:09",
                     "Console version\t" + ProgramVersion(),
                     "Rows per channel\t2\t0\t0\t0\t1\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0"}),
        PokedLines(rig.sheet->sheetPokes["Desc"]));
    EXPECT_EQ(ExportResult::Outcome::Saved, rig.result.outcome);
    EXPECT_EQ(3, rig.result.rows);
    EXPECT_EQ("template", rig.Target());
    EXPECT_EQ(QStringList{"Data.xls"}, rig.Folder());
    EXPECT_FALSE(rig.ex.Connected());
    EXPECT_FALSE(rig.ex.Batching());
}

TEST(WorkbookExport, RowsBeyondOneTransferGoInBlocksThatFollowOn) {
    // A full sheet of rows of 78 bytes: more than one message to the service carries.
    Rig rig;
    const TMeasRecord rec = Record(16777215, 2, 0, 1, 1e12, -1e12, At(2026, 12, 7, 14, 5, 9));
    for (int64_t k = 0; k < SheetRowLimit; ++k)
        rig.source.Append(rec);
    EXPECT_EQ("", rig.Run());
    static const QRegularExpression pokeRe(R"(^poke \[<book>\]Channel_1 R(\d+)C1:R(\d+)C7 (\d+)$)");
    const QStringList pokes = rig.Trace().filter(pokeRe);
    ASSERT_EQ(2, pokes.size()) << pokes.join('\n').toStdString();
    int next = 2;
    for (const QString& poke : pokes) {
        const QRegularExpressionMatch m = pokeRe.match(poke);
        EXPECT_EQ(next, m.captured(1).toInt()) << poke.toStdString();
        EXPECT_EQ(m.captured(2).toInt() - next + 1, m.captured(3).toInt()) << poke.toStdString();
        // Each block within what one message carries (64 MiB).
        EXPECT_LE(m.captured(3).toLongLong() * 78, 64 << 20) << poke.toStdString();
        next = m.captured(2).toInt() + 1;
    }
    EXPECT_EQ(1048577, next); // the sheet's last row filled
    EXPECT_EQ(SheetRowLimit, rig.result.rows);
}

TEST(WorkbookExport, EarlyEndsAndFailures) {
    struct Case {
        const char* what;
        std::function<void(Rig&)> setUp;
        QString failure;               // "" when the export returns
        ExportResult::Outcome outcome; // when it returns
        std::function<QStringList(Rig&)> dialogs;
        QStringList trace;
        QByteArray target;
    };
    const auto sheets = [](int last) {
        QStringList t = OpeningTrace;
        for (int n = 1; n <= last; ++n)
            t += SheetTrace(n, 0);
        return t;
    };
    const auto confirm = [](Rig& r) {
        return QStringList{"confirm: File >" + r.target + "< Exists. Owerwrite??"};
    };
    // Held open by another program: the message, and nothing copied or asked.
    const auto held = [](const QString& program, const QString& by, const QString& lock) {
        return [=](Rig& r) {
            return QStringList{"error: Data.xls is open in " + program + by +
                               ". Close it there first; if " + program +
                               " no longer runs, remove " + QFileInfo(r.target).absolutePath() +
                               "/" + lock + "."};
        };
    };
    const Case cases[] = {
        {"LibreOffice holds the target: its lock file names the user",
         [](Rig& r) {
             r.Beside(".~lock.Data.xls#",
                      "Jane Doe,jdoe,lab-pc,09.12.2026 03:56,file:///home/jdoe/.config/lo/4;");
         },
         "",
         ExportResult::Outcome::HeldOpen,
         held("LibreOffice", " by Jane Doe (jdoe) on lab-pc", ".~lock.Data.xls#"),
         {},
         "old"},
        {"a lock file without an author: the account",
         [](Rig& r) { r.Beside(".~lock.Data.xls#", ",root,vm,09.12.2026 03:56,file:///tmp/p;"); },
         "",
         ExportResult::Outcome::HeldOpen,
         held("LibreOffice", " by root on vm", ".~lock.Data.xls#"),
         {},
         "old"},
        {"a hostile lock file: escapes read, controls dropped, names cut short",
         [](Rig& r) {
             const QByteArray host(100, 'h');
             r.Beside(".~lock.Data.xls#", QByteArray("Doe\\, Jane\x1b[2J\n\x7f,,") + host + ",x;" +
                                              QByteArray(1 << 20, 'x'));
         },
         "",
         ExportResult::Outcome::HeldOpen,
         held("LibreOffice", " by Doe, Jane[2J on " + QString(64, 'h') + "...", ".~lock.Data.xls#"),
         {},
         "old"},
        {"a lock file that is a pipe: held, by an unknown user, and not waited on",
         [](Rig& r) { r.Beside(".~lock.Data.xls#", nullptr); },
         "",
         ExportResult::Outcome::HeldOpen,
         held("LibreOffice", "", ".~lock.Data.xls#"),
         {},
         "old"},
        {"Excel's owner file: the name in UTF-16",
         [](Rig& r) {
             QByteArray owner = "\x04Jane" + QByteArray(49, ' ') + QByteArray("\x04\0", 2);
             for (const char16_t c : u"Jan\u00e9")
                 owner += QByteArray(reinterpret_cast<const char*>(&c), 2);
             r.Beside("~$Data.xls", owner.constData(), owner.size() - 2);
         },
         "",
         ExportResult::Outcome::HeldOpen,
         held("Excel", " by Jan\u00e9", "~$Data.xls"),
         {},
         "old"},
        {"a target that is a pipe: refused at once, nothing asked",
         [](Rig& r) {
             QDir().mkpath(QFileInfo(r.target).absolutePath());
             ::mkfifo(QFile::encodeName(r.target).constData(), 0600);
         },
         "Cannot create file %2",
         ExportResult::Outcome::Saved,
         [](Rig&) { return QStringList{}; },
         {},
         "<no file>"},
        {"a workbook of the target's name open elsewhere: nothing saved",
         [](Rig& r) {
             r.sheet->books.push_back({"DATA.XLS", {"Sheet1"}});
         },
         "",
         ExportResult::Outcome::AlreadyOpen,
         [](Rig& r) { return QStringList{"error: File named >" + r.target + "< already open"}; },
         {},
         "<none>"},
        {"the overwrite declined: the file untouched, nothing saved",
         [](Rig& r) {
             r.OldTarget();
             r.feedback.answer = 7;
         },
         "",
         ExportResult::Outcome::Declined,
         confirm,
         {},
         "old"},
        {"a template without Channel_9: sheets 1 to 8 filled and saved, and they replace the "
         "target",
         [](Rig& r) {
             r.OldTarget();
             r.sheet->templateSheets.removeAll("Channel_9");
         },
         "", ExportResult::Outcome::MissingSheet,
         [](Rig& r) {
             return QStringList{"confirm: File >" + r.target + "< Exists. Owerwrite??",
                                "error: Table >" + r.target +
                                    "<   does not contains sheet >Channel_9< "};
         },
         sheets(8) + DescTrace + ClosingTrace, "template"},
        {"a block that cannot be started: poked twice, then the failure; nothing saved",
         [](Rig& r) {
             r.OldTarget();
             r.sheet->acceptPokes = 2;
             r.sheet->refusePokes = INT_MAX;
         },
         "\"Block R2C1:R2C7\" not accepted by Excel", ExportResult::Outcome::Saved, confirm,
         sheets(2) + SheetTrace(3, 0).mid(0, 3) +
             QStringList{"refused poke R2C1:R2C7", "refused poke R2C1:R2C7"},
         "old"},
        {"a block the service refuses: poked once, its reason in the message",
         [](Rig& r) {
             r.OldTarget();
             r.sheet->refusePokes = INT_MAX;
             r.sheet->reason = "rows beyond the sheet";
         },
         "\"Block R2C1:R2C7\" not accepted by Excel\rrows beyond the sheet",
         ExportResult::Outcome::Saved, confirm,
         OpeningTrace + SheetTrace(1, 0).mid(0, 3) + QStringList{"refused poke R2C1:R2C7"}, "old"},
        {"the save refused (a full disk): sent once, the old workbook kept",
         [](Rig& r) {
             r.OldTarget();
             r.sheet->refusedCommand = "[SAVE]";
             r.sheet->reason = "No space left on device";
         },
         "\"[SAVE]\" not accepted by Excel\rNo space left on device", ExportResult::Outcome::Saved,
         confirm, sheets(16) + DescTrace + QStringList{"refused exec [SAVE]"}, "old"},
        {"no template: nothing opened, the old workbook kept",
         [](Rig& r) {
             r.OldTarget();
             QFile::remove(r.tmpl);
         },
         "Cannot open file %1",
         ExportResult::Outcome::Saved,
         confirm,
         {},
         "old"},
        {"a target without write permission: refused before anything is opened",
         [](Rig& r) {
             r.OldTarget();
             QFile::setPermissions(r.target, QFile::ReadOwner);
         },
         "Cannot create file %2",
         ExportResult::Outcome::Saved,
         confirm,
         {},
         "old"},
        {"channels with more rows than a sheet holds: their real counts, nothing copied or sent",
         [](Rig& r) {
             r.OldTarget();
             for (int64_t k = 0; k < 1100000; ++k)
                 r.source.Append(Record(1, 2, 1, 0, 1.0, 1.0, 46000.0));
             for (int64_t k = 0; k <= SheetRowLimit; ++k)
                 r.source.Append(Record(1, 2, 15, 0, 1.0, 1.0, 46000.0));
         },
         "Channel 2 has 1100000 measurements, channel 16 has 1048575, more than the 1048574 rows "
         "a sheet holds below its header",
         ExportResult::Outcome::Saved,
         [](Rig&) { return QStringList{}; },
         {},
         "old"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Rig rig;
        c.setUp(rig);
        const QString failure = rig.Run();
        EXPECT_EQ(QString(c.failure).replace("%1", rig.tmpl).replace("%2", rig.target), failure);
        if (failure.isEmpty()) {
            EXPECT_EQ(c.outcome, rig.result.outcome);
            EXPECT_EQ(c.outcome == ExportResult::Outcome::HeldOpen,
                      rig.result.heldBy.startsWith("LibreOffice") ||
                          rig.result.heldBy.startsWith("Excel"));
        }
        EXPECT_EQ(c.dialogs(rig), rig.feedback.dialogs);
        EXPECT_EQ(c.trace, rig.Trace());
        EXPECT_EQ(c.target, rig.Target());
        // No working copy left beside the target.
        EXPECT_EQ(c.target == "<none>" ? QStringList() : QStringList{"Data.xls"}, rig.Folder());
        EXPECT_FALSE(rig.ex.Connected());
        EXPECT_FALSE(rig.ex.Batching());
    }
}
