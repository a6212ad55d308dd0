// The spreadsheet link against an in-process fake service.
#include <gtest/gtest.h>

#include "export/Excels.h"
#include "support/FakeConversation.h"

namespace {

class TestExcel : public TExcel {
public:
    TestExcel(FakeConversation* fake, const double* clock, const FormatSettings& fs)
        : TExcel(std::unique_ptr<DdeConversation>(fake), fs, [clock] { return *clock; }),
          fake(*fake) {}
    void PumpMessages() override {
        ++pumps;
        fake.pump();
    }
    void LocateExeName() override { fake.log << "locate"; }
    using TExcel::AddToBatch;
    using TExcel::FBatchCol;
    using TExcel::FBatchRow;
    using TExcel::FExecCount;

    FakeConversation& fake;
    int pumps = 0;
};

class Excel : public testing::Test {
protected:
    Excel() {
        fs.decimalSeparator = ',';
        fs.shortDateFormat = "dd.MM.yyyy";
        ex = std::make_unique<TestExcel>(fake, &clock, fs);
    }
    void connect() {
        ASSERT_TRUE(ex->Connect());
        fake->log.clear();
    }
    template <class Call> QString failureOf(const Call& call) {
        const auto result = call();
        return result ? QString("(no failure)") : result.error().text;
    }
    int count(const QString& entry) const { return int(fake->log.count(entry)); }

    FormatSettings fs;
    double clock = 46000.5;
    FakeConversation* fake = new FakeConversation;
    std::unique_ptr<TestExcel> ex;
};

QStringList Numbered(int from, int to) {
    QStringList rows;
    for (int r = from; r <= to; ++r)
        rows << QString("r%1").arg(r);
    return rows;
}

} // namespace

TEST_F(Excel, StartsWithTheDesignValues) {
    EXPECT_EQ(ex->ExeName(), "Excel");
    EXPECT_EQ(fake->serviceApplication(), "Excel");
    EXPECT_EQ(ex->ExecLimit(), 99);
    EXPECT_EQ(ex->Decimals(), 2);
    EXPECT_EQ(ex->BatchMin(), 200);
    EXPECT_EQ(ex->BatchMax(), 250);
    EXPECT_FALSE(ex->Connected());
    EXPECT_FALSE(ex->Batching());
    EXPECT_TRUE(fake->log.isEmpty()); // nothing connects until asked
}

TEST_F(Excel, BatchSettersKeepMinAtMostMax) {
    struct Case {
        bool setMin;
        int value;
        int min, max;
    };
    // Applied in order on one link.
    const Case cases[] = {{true, 300, 250, 250}, {false, 100, 250, 250}, {false, 400, 250, 400},
                          {true, 200, 200, 400}, {false, 100, 200, 200}, {false, 250, 200, 250}};
    for (const Case& c : cases) {
        c.setMin ? ex->SetBatchMin(c.value) : ex->SetBatchMax(c.value);
        EXPECT_EQ(ex->BatchMin(), c.min) << c.value;
        EXPECT_EQ(ex->BatchMax(), c.max) << c.value;
    }
}

TEST_F(Excel, ExeNameLosesItsExtensionAndDisconnects) {
    const std::pair<QString, QString> cases[] = {
        {"C:\\Office\\EXCEL.EXE", "C:\\Office\\EXCEL"},
        {"/opt/office/EXCEL.EXE", "/opt/office/EXCEL"},
        {"/opt/v1.2/impix-sheets", "/opt/v1.2/impix-sheets"},
        {"Excel", "Excel"},
    };
    for (const auto& [given, stored] : cases) {
        connect();
        ex->SetExeName(given);
        EXPECT_EQ(ex->ExeName(), stored);
        EXPECT_EQ(fake->serviceApplication(), stored);
        EXPECT_FALSE(ex->Connected());
        EXPECT_EQ(fake->log, QStringList({"close System", "disconnect"}));
    }
}

TEST_F(Excel, ConnectOpensUpToThreeTimes) {
    struct Case {
        int failures;
        QString error;
        int opens;
        QString failure;
    };
    const Case cases[] = {
        {0, "", 1, ""},
        {1, "", 2, ""},
        {2, "", 3, ""},
        {3, "", 3, "Excel cannot be lunched\rExcel"},
        {3, "No service Excel answers", 3,
         "Excel cannot be lunched\rExcel\rNo service Excel answers"},
    };
    int opened = 0;
    ex->OnOpen = [&](TExcel* sender) {
        EXPECT_EQ(sender, ex.get());
        ++opened;
    };
    for (const Case& c : cases) {
        ex->Disconnect();
        fake->log.clear();
        fake->openFailures = c.failures;
        fake->error = c.error;
        opened = 0;
        const QString failure = failureOf([&] { return ex->Connect(); });
        EXPECT_EQ(failure, c.failure.isEmpty() ? "(no failure)" : c.failure);
        EXPECT_EQ(count("open System"), c.opens);
        // The program is looked for once, after the first open failed.
        EXPECT_EQ(fake->log.indexOf("locate"), c.failures > 0 ? 1 : -1);
        EXPECT_EQ(count("locate"), c.failures > 0 ? 1 : 0);
        EXPECT_EQ(fake->service(), "Excel");
        EXPECT_EQ(ex->Connected(), c.failure.isEmpty());
        EXPECT_EQ(opened, c.failure.isEmpty() ? 1 : 0);
    }
    // Connected already: nothing is opened again.
    fake->openFailures = 0;
    EXPECT_TRUE(ex->Connect());
    fake->log.clear();
    EXPECT_TRUE(ex->Connect());
    EXPECT_TRUE(fake->log.isEmpty());
}

TEST_F(Excel, EverythingThatTalksFailsWhileNotConnected) {
    QStringList list;
    const std::function<Result<void>()> calls[] = {
        [&] { return ex->ExecMacro("[SAVE]"); },
        [&] { return ex->RequestItem("Status").map([](const QString&) {}); },
        [&] { return ex->WaitReady(); },
        [&] { return ex->GetSelection().map([](const QString&) {}); },
        [&] { return ex->PutText(1, 1, "x"); },
        [&] { return ex->GetWorkbooks(list); },
        [&] { return ex->GetSheets("Data.xls", list); },
        [&] { return ex->SelectCell(1, 1); },
    };
    for (const auto& call : calls)
        EXPECT_EQ(failureOf(call), "Excel not connected");
    EXPECT_TRUE(fake->log.isEmpty());
}

TEST_F(Excel, ServiceEndingTheConversationDisconnects) {
    int closed = 0;
    ex->OnClose = [&](TExcel* sender) {
        EXPECT_EQ(sender, ex.get());
        ++closed;
    };
    connect();
    fake->endByService();
    EXPECT_FALSE(ex->Connected());
    EXPECT_EQ(closed, 1);
    EXPECT_EQ(failureOf([&] { return ex->ExecMacro("[SAVE]"); }), "Excel not connected");
}

TEST_F(Excel, CommandsAndTheirRefusal) {
    connect();
    EXPECT_TRUE(ex->SelectCell(21, 2));
    EXPECT_TRUE(ex->PutText(1, 1, "Board \"3\""));
    EXPECT_EQ(fake->log, QStringList({"execute [SELECT(\"R21C2\")]",
                                      "execute [FORMULA(\"Board \"3\"\",\"R1C1\")]"}));
    EXPECT_EQ(ex->pumps, 4); // before and after each command

    // Refused at once: wait for ready, then hand it over waiting and pump until it completes.
    fake->log.clear();
    ex->pumps = 0;
    fake->refuseExecs = 1;
    fake->busyRounds = 3;
    EXPECT_TRUE(ex->ExecMacro("[SAVE]"));
    EXPECT_EQ(fake->log, QStringList({"execute [SAVE]", "request Status", "execute-wait [SAVE]"}));
    EXPECT_EQ(ex->pumps, 1 + 2 + 3); // CheckConnected, WaitReady's poll, completion
    EXPECT_FALSE(fake->busy());

    fake->refuseExecs = 2;
    EXPECT_EQ(failureOf([&] { return ex->ExecMacro("[OPEN(\"x\")]"); }),
              "\"[OPEN(\"x\")]\" not accepted by Excel");
}

TEST_F(Excel, SpeedCheckOnEveryHundredthCommand) {
    struct Case {
        double elapsed; // days between the checks
        bool polls;
    };
    const Case cases[] = {{0.0, true}, {0.0000199, true}, {0.0000201, false}, {1.0, false}};
    connect();
    for (const Case& c : cases) {
        for (int i = 1; i <= 100; ++i) {
            if (i == 100)
                clock += c.elapsed;
            fake->log.clear();
            EXPECT_TRUE(ex->ExecMacro("[SELECT(\"R1C1\")]"));
            const bool polled = fake->log.contains("request Status");
            ASSERT_EQ(polled, i == 100 && c.polls) << i << " " << c.elapsed;
        }
        EXPECT_EQ(ex->FExecCount, 0);
    }
}

TEST_F(Excel, WaitReadyPollsSixtyFourTimes) {
    connect();
    fake->status = "Busy";
    fake->onPump = [&] {
        if (count("request Status") == 63 && fake->status == "Nearly")
            fake->status = "Ready";
    };
    EXPECT_EQ(failureOf([&] { return ex->WaitReady(); }), "Excel not responding");
    EXPECT_EQ(count("request Status"), 64);

    // Ready on the last poll is in time; "ready" in another case is not ready.
    fake->log.clear();
    fake->status = "Nearly";
    EXPECT_TRUE(ex->WaitReady());
    EXPECT_EQ(count("request Status"), 64);
    fake->status = "ready";
    EXPECT_FALSE(ex->IsReady().value());
    fake->status = "Ready";
    EXPECT_TRUE(ex->IsReady().value());

    // No reply at all reads as its placeholder.
    fake->busyRounds = 100;
    fake->execute("[X]", true);
    EXPECT_EQ(ex->RequestItem("Status").value(), "*** No Reply ***");
}

TEST_F(Excel, CellsPlacedInTheBatch) {
    struct Write {
        int row, col;
        QString text;
    };
    struct Case {
        int row0, col0;
        std::vector<Write> writes;
        QStringList rows;
        int lastCol;
        QStringList commands;
    };
    const Case cases[] = {
        {2, 1, {{2, 3, "x"}}, {"\t\tx"}, 3, {}},
        {2, 1, {{3, 2, "b"}, {3, 1, "a"}, {2, 1, "h"}}, {"h", "a\tb"}, 2, {}},
        {5,
         2,
         {{5, 2, "in"}, {4, 2, "above"}, {5, 1, "left"}},
         {"in"},
         2,
         {"execute [FORMULA(\"above\",\"R4C2\")]", "execute [FORMULA(\"left\",\"R5C1\")]"}},
        {1, 1, {{1, 2, "a\tb"}, {1, 1, "z"}}, {"z\ta\tb"}, 2, {}},
    };
    connect();
    for (const Case& c : cases) {
        fake->log.clear();
        ex->BeginBatch(c.row0, c.col0);
        EXPECT_TRUE(ex->Batching());
        for (const Write& w : c.writes)
            EXPECT_TRUE(ex->PutText(w.row, w.col, w.text));
        EXPECT_EQ(ex->Rows, c.rows);
        EXPECT_EQ(ex->BatchLastCol, c.lastCol);
        EXPECT_EQ(fake->log, c.commands);
        ex->DropBatch();
        EXPECT_FALSE(ex->Batching());
        EXPECT_TRUE(ex->Rows.isEmpty());
    }
    EXPECT_TRUE(fake->pokes.isEmpty()); // dropping sends nothing
}

TEST_F(Excel, BatchOverflowsAtRow251AndEndsWithTheRest) {
    connect();
    bool reconnected = false;
    ex->OnOpen = ex->OnClose = [&](TExcel*) { reconnected = true; };
    ex->BeginBatch(1, 1);
    for (int r = 1; r <= 250; ++r)
        EXPECT_TRUE(ex->PutText(r, 1, QString("r%1").arg(r)));
    EXPECT_TRUE(fake->pokes.isEmpty());
    EXPECT_TRUE(ex->PutText(251, 1, "r251"));
    ASSERT_EQ(fake->pokes.size(), 1);
    EXPECT_EQ(fake->pokes[0], Numbered(1, 200));
    EXPECT_EQ(ex->FBatchRow, 201);
    EXPECT_EQ(ex->Rows.size(), 51);
    EXPECT_EQ(fake->log,
              QStringList({"execute [SELECT(\"R1C1\")]", "request Selection", "close System",
                           "open [Data.xls]Channel_1", "poke [Data.xls]Channel_1 R1C1:R200C1 (200)",
                           "request R1C1", "close [Data.xls]Channel_1", "open System"}));
    fake->log.clear();
    EXPECT_TRUE(ex->EndBatch());
    ASSERT_EQ(fake->pokes.size(), 2);
    EXPECT_EQ(fake->pokes[1], Numbered(201, 251));
    EXPECT_TRUE(fake->log.contains("poke [Data.xls]Channel_1 R201C1:R251C1 (51)"));
    EXPECT_FALSE(ex->Batching());
    // The topic switches leave the link's state and events alone.
    EXPECT_TRUE(ex->Connected());
    EXPECT_FALSE(reconnected);
    EXPECT_EQ(fake->topic(), "System");

    // An empty batch sends nothing and still ends.
    fake->log.clear();
    ex->BeginBatch(2, 1);
    EXPECT_TRUE(ex->EndBatch());
    EXPECT_TRUE(fake->log.isEmpty());
    EXPECT_FALSE(ex->Batching());
}

TEST_F(Excel, DistantCellOverflowsOneBlockPerWrite) {
    connect();
    ex->BeginBatch(1, 1);
    EXPECT_TRUE(ex->PutText(600, 1, "far"));
    EXPECT_EQ(fake->pokes.size(), 1);
    EXPECT_EQ(ex->Rows.size(), 400);
    // Row 250 left with the first block: the cell follows as a command of its own.
    fake->log.clear();
    EXPECT_TRUE(ex->PutText(250, 1, "late"));
    EXPECT_EQ(fake->pokes.size(), 2);
    EXPECT_EQ(fake->log.last(), "execute [FORMULA(\"late\",\"R250C1\")]");
    EXPECT_EQ(ex->Rows.size(), 200);
    EXPECT_EQ(ex->FBatchRow, 401);
}

TEST_F(Excel, BlockRangeUsesTheSpreadsheetsLetters) {
    struct Case {
        QString selection;
        QString topic, range, firstCell;
    };
    const Case cases[] = {
        {"[Data.xls]Channel_1!R1C1", "[Data.xls]Channel_1", "R2C1:R120C7", "R2C1"},
        {"'[Daten.xls]Kanal 1'!Z1S1", "[Daten.xls]Kanal 1", "Z2S1:Z120S7", "Z2S1"},
    };
    connect();
    const QStringList lines = Numbered(2, 120);
    for (const Case& c : cases) {
        fake->log.clear();
        fake->selection = c.selection;
        EXPECT_TRUE(ex->PokeBlock(2, 1, 120, 7, lines));
        EXPECT_TRUE(fake->log.contains("open " + c.topic));
        EXPECT_TRUE(fake->log.contains(QString("poke %1 %2 (119)").arg(c.topic, c.range)));
        EXPECT_EQ(fake->log.indexOf("request " + c.firstCell),
                  fake->log.indexOf(QString("poke %1 %2 (119)").arg(c.topic, c.range)) + 1);
        EXPECT_EQ(fake->pokes.last(), lines);
    }
}

TEST_F(Excel, BlockFailures) {
    struct Case {
        QString selection, failTopic;
        int refusePokes;
        QString failure;
        int pokes;
    };
    const Case cases[] = {
        {"*** No Reply ***", "", 0, "Table is not opened", 0},
        {"[Data.xls]Sheet1!R1C1", "[Data.xls]Sheet1", 0,
         "Excel cannot linked  [Data.xls]Sheet1!R1C1", 0},
        {"[Data.xls]Sheet1!R1C1", "", 2, "\"Block R2C1:R3C7\" not accepted by Excel", 2},
        {"[Data.xls]Sheet1!R1C1", "", 1, "(no failure)", 2},
    };
    connect();
    for (const Case& c : cases) {
        fake->log.clear();
        fake->selection = c.selection;
        fake->failTopic = c.failTopic;
        fake->refusePokes = c.refusePokes;
        EXPECT_EQ(failureOf([&] {
                      return ex->PokeBlock(2, 1, 3, 7, QStringList{"a", "b"});
                  }),
                  c.failure);
        EXPECT_EQ(int(fake->log.filter("poke ").size()), c.pokes);
        // However it ended, the link is back on the control conversation.
        EXPECT_EQ(fake->topic(), "System");
        EXPECT_TRUE(fake->isOpen());
        EXPECT_TRUE(ex->Connected());
    }
    // The first case never left the control conversation.
    fake->log.clear();
    fake->selection = "no sheet";
    EXPECT_EQ(failureOf([&] { return ex->PokeBlock(2, 1, 3, 7, QStringList{"a"}); }),
              "Table is not opened");
    EXPECT_EQ(fake->log, QStringList({"execute [SELECT(\"R1C1\")]", "request Selection"}));

    // The control conversation does not come back: OnClose fires, the flag stays, and the next
    // Connect opens anew.
    int closed = 0;
    ex->OnClose = [&](TExcel*) { ++closed; };
    fake->selection = "[Data.xls]Sheet1!R1C1";
    fake->failTopic = "System";
    EXPECT_TRUE(ex->PokeBlock(2, 1, 3, 7, QStringList{"a"}));
    EXPECT_EQ(closed, 1);
    EXPECT_TRUE(ex->Connected());
    fake->failTopic.clear();
    fake->log.clear();
    EXPECT_TRUE(ex->Connect());
    EXPECT_EQ(fake->log, QStringList({"open System"}));
}

TEST_F(Excel, SilentServiceAndRefusalsWithAReason) {
    struct Case {
        const char* what;
        std::function<void()> setUp;
        std::function<Result<void>()> call;
        QString failure;
        QStringList log; // what was sent or asked
    };
    QStringList list;
    const QStringList pokeLog = {"execute [SELECT(\"R1C1\")]", "request Selection", "close System",
                                 "open [Data.xls]Sheet1", "poke [Data.xls]Sheet1 R2C1:R3C7 (2)"};
    const Case cases[] = {
        {"a command refused for a reason is not handed over again",
         [&] {
             fake->refuseExecs = 1;
             fake->reason = "No space left on device";
         },
         [&] { return ex->ExecMacro("[SAVE]"); },
         "\"[SAVE]\" not accepted by Excel\rNo space left on device",
         {"execute [SAVE]"}},
        {"a block refused for a reason is not poked again",
         [&] {
             fake->refusePokes = 1;
             fake->reason = "rows beyond the sheet";
         },
         [&] {
             return ex->PokeBlock(2, 1, 3, 7, QStringList{"a", "b"});
         },
         "\"Block R2C1:R3C7\" not accepted by Excel\rrows beyond the sheet",
         pokeLog + QStringList{"close [Data.xls]Sheet1", "open System"}},
        {"silent at a command",
         [&] { fake->silent = true; },
         [&] { return ex->ExecMacro("[SAVE]"); },
         "Excel not responding",
         {"execute [SAVE]"}},
        {"silent at the first status poll",
         [&] { fake->silent = true; },
         [&] { return ex->WaitReady(); },
         "Excel not responding",
         {"request Status"}},
        {"silent at a block: the service is not asked again",
         [&] { fake->onPump = [&] { fake->silent = fake->log.size() >= 4; }; },
         [&] {
             return ex->PokeBlock(2, 1, 3, 7, QStringList{"a", "b"});
         },
         "Excel not responding", pokeLog + QStringList{"close [Data.xls]Sheet1"}},
        {"silent at the sheet list",
         [&] { fake->silent = true; },
         [&] { return ex->GetSheets("Data.xls", list); },
         "Excel not responding",
         {"request Topics"}},
        // Killed: what the socket said, not a refusal of what was asked.
        {"gone at a command",
         [&] { fake->gone = "The service Excel went away"; },
         [&] { return ex->ExecMacro("[SAVE]"); },
         "Excel not responding\rThe service Excel went away",
         {"execute [SAVE]"}},
        {"gone in the middle of a block",
         [&] {
             fake->onPump = [&] {
                 if (fake->log.size() >= 4)
                     fake->gone = "The service Excel went away";
             };
         },
         [&] {
             return ex->PokeBlock(2, 1, 3, 7, QStringList{"a", "b"});
         },
         "Excel not responding\rThe service Excel went away",
         pokeLog + QStringList{"close [Data.xls]Sheet1", "open System"}},
        {"gone and its conversation ended",
         [&] {
             fake->gone = "The service Excel went away";
             fake->endByService();
         },
         [&] { return ex->WaitReady(); },
         "Excel not responding\rThe service Excel went away",
         {"close System"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        connect();
        fake->selection = "[Data.xls]Sheet1!R1C1";
        c.setUp();
        EXPECT_EQ(failureOf(c.call), c.failure);
        EXPECT_EQ(fake->log, c.log);
        fake->silent = false;
        fake->gone.reset();
        fake->reason.clear();
        fake->onPump = nullptr;
        ex->Disconnect();
    }
}

TEST_F(Excel, WorkbooksAndSheetsFromTheTopics) {
    struct Case {
        std::optional<QString> topics;
        QString workbook;
        QStringList books, sheets;
    };
    const Case cases[] = {
        {"[Data.xls]Desc\t[Data.xls]Channel_1\t[:]\t[DATA.XLS]Channel_2\t[Other.xls]S\tSystem",
         "Data.xls",
         {"other.XLS", "Data.xls"},
         {"Desc", "Channel_1", "Channel_2"}},
        {"[DATA.XLS]Desc\t[MyData.xls]Sheet1\t[Other.xls]S\tSystem",
         "Data.xls",
         {"other.XLS", "DATA.XLS", "MyData.xls"},
         {"Desc", "Sheet1"}},
        {"System", "Data.xls", {"other.XLS"}, {}},
        {"[open", "open", {"other.XLS", "open"}, {""}},
        {std::nullopt, "Data.xls", {"other.XLS"}, {}},
    };
    connect();
    for (const Case& c : cases) {
        fake->topics = c.topics;
        QStringList books{"other.XLS"}, sheets;
        EXPECT_TRUE(ex->GetWorkbooks(books));
        EXPECT_TRUE(ex->GetSheets(c.workbook, sheets));
        EXPECT_EQ(books, c.books);
        EXPECT_EQ(sheets, c.sheets);
    }
}

TEST_F(Excel, NumbersAndDatesAsCellText) {
    connect();
    ex->SetDecimals(3);
    EXPECT_TRUE(ex->PutFloat(1, 1, 1.23456));
    EXPECT_TRUE(ex->PutFloat(1, 2, -0.0006));
    ex->SetDecimals(0);
    EXPECT_TRUE(ex->PutFloat(1, 3, 2.7));
    EXPECT_TRUE(ex->PutInteger(1, 4, -42));
    EXPECT_TRUE(ex->PutDate(1, 5, 45000.75));
    EXPECT_TRUE(ex->PutDate(1, 6, -1.25));
    EXPECT_EQ(fake->log, QStringList({
                             "execute [FORMULA(\"1,235\",\"R1C1\")]",
                             "execute [FORMULA(\"-0,001\",\"R1C2\")]",
                             "execute [FORMULA(\"3\",\"R1C3\")]",
                             "execute [FORMULA(\"-42\",\"R1C4\")]",
                             "execute [FORMULA(\"15.03.2023\",\"R1C5\")]",
                             "execute [FORMULA(\"29.12.1899\",\"R1C6\")]",
                         }));
}
