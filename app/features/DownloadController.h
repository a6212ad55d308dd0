#pragma once
// Downloads followed item by item, owned by their controller rather than the main window:
// progress while the stream runs, the missing counters once it stops, and "Download missing"
// asking for exactly those. The archive hears of each download, to restore it after a crash.
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <functional>
#include <optional>

#include "app/pages/DownloadPage.h"
#include "archive/ArchiveSessions.h"
#include "buffer/DownloadTracker.h"

class MeasurementArchive;
class TMB;

class DownloadController : public QObject {
public:
    // The archive downloads are noted in; null while there is none.
    using ArchiveSource = std::function<MeasurementArchive*()>;

    // Shows progress on `page` (DwnProgressTx, DwnMissingTx) and follows its DwnMissingBtn;
    // asks `link` for the gaps. `owner`, the main window, owns the controller.
    DownloadController(const DownloadPage& page, TMB& link, ArchiveSource archive, QObject* owner);

    // The link sent a download request; the gaps' own requests are not new downloads.
    void Requested(int64_t first, int64_t amount);
    // One downloaded item; false when it must not be stored (a repeat while filling gaps).
    bool Arrived(int64_t counter);
    // The download as the archive keeps it; none before the first.
    std::optional<DownloadState> State() const;
    // Takes over a download the archive restored, and runs it on.
    void Restore(const DownloadState& download);

private:
    void DwnMissingBtnClick();
    void Tick();
    void ShowState();
    void NoteArchive();

    DownloadPage page_;
    TMB& link_;
    ArchiveSource archive_;
    DownloadTracker tracker_;
    QTimer timer_;
    QElapsedTimer clock_;
    bool requestingGaps_ = false;
};
