#pragma once
// The measurement buffer, owned by its controller rather than the main window: the pool every
// record enters, its table on the "Data Buffer" page and the item count above it, records put
// back in slices (a restore, a session loaded, a fleet slice), "Clear", "Save" and "Save All".
// Every record goes to the archive as it enters; the archive's controller holds arrivals back
// while it must (a restore question, a hand-over) and hears of each slice put back.
#include <QObject>
#include <deque>
#include <memory>
#include <span>
#include <vector>

#include "app/pages/DataBufferPage.h"
#include "app/pages/MeasurePage.h"
#include "archive/ArchiveRow.h"
#include "base/FormatSettings.h"
#include "buffer/RecordStream.h"

class ArchiveController;
class BufferTableModel;
class BufferWindowModel;
class QWidget;

class BufferController : public QObject, private RecordStreamListener {
public:
    // Works on the page's controls; the settings line of a saved file comes from the "Measure
    // Config" page's. `owner`, the main window, owns the controller.
    BufferController(const DataBufferPage& page, const MeasurePage& measure,
                     const FormatSettings& format, QWidget* owner);
    ~BufferController() override;

    // The archive's controller, which every record entering the buffer passes; the window makes
    // both and introduces them before any record comes.
    void UseArchive(ArchiveController& archive) { archive_ = &archive; }

    // The buffer (Pool).
    RecordStream& Pool() { return pool_; }
    // BufGrid shows the buffer from now on (the window's first show).
    void ShowTable();

    // Appends a record to the pool, the table and the plot, and hands it to the archive with
    // its source.
    void AddRecord(const TMeasRecord& rec, ArrivalSource source);
    // The same for many records put back into the buffer (a restore, a session loaded, a
    // fleet slice): appended a slice at a time with the event loop run between slices, so the
    // window stays live; it returns once all are in (a script's next line sees them). Records
    // put back meanwhile follow, and arrivals wait to follow them; the archive gets them in
    // slices too.
    void AddRecords(std::vector<TMeasRecord>&& records, ArrivalSource source);
    void AddRecords(std::span<const TMeasRecord> records, ArrivalSource source);
    // Records wait to be put back: arrivals are held until they are in.
    bool PuttingBack() const { return !putBack_.empty(); }

private:
    void ClearBufBtnClick();
    void SaveBufBtnClick();
    void SaveBufBtnAllClick();
    void SavePoolRange(int64_t from, int64_t to);
    // The pool's notifications: the item count and the newest row of the table.
    void RecordAppended(const TMeasRecord& rec) override;
    void RecordsAppended(int64_t first, int64_t count) override;
    void StreamCleared() override;
    void ShowPoolCount();
    // The newest row of the table selected and scrolled into view, as its rows grow.
    void FollowNewestRow();
    // Scrolled to an end of the rows BufGrid holds: the rows of the buffer beyond come in.
    void ScrolledTo(int value);

    QWidget* owner_;
    DataBufferPage page_;
    MeasurePage measure_;
    FormatSettings format_;
    ArchiveController* archive_ = nullptr;
    RecordStream pool_;
    std::unique_ptr<BufferTableModel> model_;
    std::unique_ptr<BufferWindowModel> window_; // what BufGrid shows of model_
    bool countQueued_ = false;
    // Records being put back into the buffer, in their order: each batch, how far it is in.
    // Arrivals are held while any remain; puttingBack_ while the loop that appends them runs.
    struct PutBack {
        std::vector<TMeasRecord> records;
        size_t next = 0;
        ArrivalSource source;
    };
    std::deque<PutBack> putBack_;
    bool puttingBack_ = false;
};
