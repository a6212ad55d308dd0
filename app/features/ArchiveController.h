#pragma once
// The measurement archive beside the buffer, owned by its controller rather than the main
// window: its state in ArchiveTx, its messages, the restore question after an unclean end,
// "History..." that loads an archived session into the buffer, and the hand-over of the buffer
// to the archive in slices its writer keeps up with. Arrivals wait here while the restore
// question is open or a hand-over runs, and follow in their order.
#include <QObject>
#include <deque>
#include <functional>
#include <utility>
#include <vector>

#include "app/pages/DataBufferPage.h"
#include "archive/ArchiveRow.h"
#include "archive/ArchiveSessions.h"
#include "base/FormatSettings.h"
#include "records/MeasRecord.h"

class BufferController;
class DownloadController;
class MeasurementArchive;
class QTimer;
class QWidget;
class SweepController;
class TMB;
struct ArchiveOptions;
struct WorkProgress;

class ArchiveController : public QObject {
public:
    // Shows the archive on the page (ArchiveTx, HistoryBtn); puts what it restores or loads
    // back into `buffer`, its download into `downloads` and its sweeps into `sweeps`; the
    // session's port is `link`'s. `owner`, the main window, owns the controller.
    ArchiveController(const DataBufferPage& page, BufferController& buffer,
                      DownloadController& downloads, SweepController& sweeps, TMB& link,
                      const FormatSettings& format, QWidget* owner);

    // The archive records go to; null while there is none.
    MeasurementArchive* Archive() const { return archive_; }

    // Start-up, once the link has opened its port: the measurement archive (none with
    // --no-archive; it must outlive the window) is shown and given the port's name, and when
    // it opened in time (`opened`) the restore is offered.
    void Start(MeasurementArchive* archive, bool opened);
    // Fills the archive's hooks: its messages are shown, and when it starts anew it is given
    // the buffer, both on the window's thread.
    void Hook(ArchiveOptions& options);
    // After unclean ends of earlier sessions: "Restore measurements", once for each. What
    // arrives meanwhile waits and follows the restored items.
    void OfferRestore();
    // The window is closing: what is still to go to the archive is handed over, waiting for the
    // writer between slices.
    void FinishHandOver();
    // The serial port's name goes into the archive's session.
    void NoteArchivePort();
    // A report that comes faster than the archive can write waits in its connection instead of
    // leaving measurements out of the archive, and while restored items go to it.
    bool ReportsWait() const;

    // The buffer's side. Arrivals wait (the restore question is open, or restored items still
    // go to the archive) and are handed to Hold() instead of the buffer.
    bool HoldsArrivals() const { return holdArrivals_ || FeedingArchive(); }
    // A record that reached the buffer (a downloaded one already counted in its download).
    void Hold(const TMeasRecord& rec, ArrivalSource source);
    // A downloaded item: held, or counted in the download and added to the buffer unless it is
    // a repeat.
    void AddDownloadedRecord(const TMeasRecord& rec);
    // A record entering the buffer.
    void Add(const TMeasRecord& rec, ArrivalSource source);
    // The pool's items from `from` on were put back: they go to the archive in slices.
    void PutBack(int64_t from, ArrivalSource source);
    // The buffer is being emptied: what was still to go to the archive is no longer in it.
    void BufferCleared();
    // Arrivals held while the restore question was open or a hand-over ran, in their order,
    // once nothing holds them any more.
    void ReleaseHeldArrivals();

private:
    void HistoryBtnClick();
    // Runs `read` on a thread of its own while the window goes on (RunWithProgress with
    // `label`, `total` and "Cancel" when `cancellable`); the records it hands to its slices go
    // into the buffer as restored items as they are read, every one before this returns.
    // Returns what `read` returned.
    bool PutBackAsRead(const QString& label, int64_t total, bool cancellable,
                       const std::function<bool(WorkProgress&, const RecordSlices&)>& read);
    void SetArchive(MeasurementArchive* archive);
    void ShowArchiveState();
    // The archive lost its file: the buffer and its download for the new one.
    void GiveArchiveTheBuffer();
    // Hands the pool's items from `from` on to the archive, a slice at a time while its writer
    // keeps up (its queue holds far fewer than a buffer may), the rest from the event loop.
    void HandOverToArchive(int64_t from, ArrivalSource source);
    // `writerStuck`: the rest is handed over without waiting for the writer.
    void FeedArchive(bool writerStuck = false);
    bool FeedingArchive() const { return feedNext_ < feedEnd_; }

    QWidget* owner_;
    DataBufferPage page_;
    BufferController& buffer_;
    DownloadController& downloads_;
    SweepController& sweeps_;
    TMB& link_;
    FormatSettings format_;
    MeasurementArchive* archive_ = nullptr;
    QTimer* stateTimer_ = nullptr;
    // While the restore question is open, arrivals wait here to follow the restored items.
    bool holdArrivals_ = false;
    // A downloaded item held before the download counted it is counted on release; one the
    // buffer held (records were being put back) was counted on arrival, and counting it again
    // while gaps are filled would take it for a repeat and drop it.
    struct HeldArrival {
        TMeasRecord rec;
        ArrivalSource source;
        bool uncounted;
    };
    std::vector<HeldArrival> heldArrivals_;
    // The pool's items [feedNext_, feedEnd_) still go to the archive, in runs of one source
    // (each run's end and source); arrivals meanwhile are held, to follow them.
    int64_t feedNext_ = 0;
    int64_t feedEnd_ = 0;
    std::deque<std::pair<int64_t, ArrivalSource>> feedRuns_;
    bool feedQueued_ = false;
    int readingBack_ = 0; // PutBackAsRead under way: the writer waits
    bool ending_ = false; // FinishHandOver: nothing waits any more
};
