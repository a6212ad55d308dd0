// "History..." never waits for the archive: the window shows at once while the list is still
// being read, takes the list when it comes, and then the count of a finished session.
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <thread>

#include "ConsoleFixture.h"
#include "app/features/ArchiveController.h"
#include "archive/MeasurementArchive.h"
#include "dialogs/HistoryDlgControls.h"

TEST_F(ConsoleFixture, HistoryShowsAtOnceWhileItsListIsRead) {
    QTemporaryDir dir;
    ArchiveOptions options;
    options.path = dir.filePath("archive.sqlite");
    {
        MeasurementArchive earlier(options); // a session that ended, its count not yet kept
        for (int k = 1; k <= 5; ++k) {
            TMeasRecord rec{};
            rec.Counter = k;
            earlier.Add(rec, ArrivalSource::Live);
        }
        ASSERT_TRUE(earlier.Flush(30000));
    }
    // The list's read waits for the test, as a slow disk would.
    std::atomic<bool> reading{false}, released{false};
    options.beforeRead = [&] {
        reading = true;
        for (int i = 0; i < 6000 && !released; ++i) // a minute, as a hang guard
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    };
    MeasurementArchive archive(options);
    // Its session is listed once the writer has started it: not a race the test is about.
    ASSERT_TRUE(archive.WaitOpen(30000));
    Start(false);
    window->Archive().Start(&archive, false);

    bool shownWhileRead = false, emptyWhileRead = false, counted = false;
    QStringList lines;
    QTimer::singleShot(0, [&] {
        auto* dialog = Find<QWidget>(historydlg::Name);
        auto* list = Find<QListWidget>(historydlg::Sessions.name);
        shownWhileRead =
            QTest::qWaitFor([&] { return bool(reading); }, 30000) && dialog->isVisible();
        emptyWhileRead =
            list->count() == 0 && !Find<QPushButton>(historydlg::Load.name)->isEnabled();
        released = true;
        counted = QTest::qWaitFor(
            [&] { return list->count() == 2 && !list->item(1)->text().contains("counting..."); },
            30000);
        for (int r = 0; r < list->count(); ++r)
            lines << list->item(r)->text();
        Find<QPushButton>(historydlg::Cancel.name)->click();
    });
    Find<QPushButton>("HistoryBtn")->click();
    EXPECT_TRUE(shownWhileRead);
    EXPECT_TRUE(emptyWhileRead);
    EXPECT_TRUE(counted);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].contains(" - running: live 0,")) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].contains(": live 5, download 0, report 0, restored 0; 5 measurements"))
        << lines[1].toStdString();
    window.reset(); // before the archive it hands records to
}
