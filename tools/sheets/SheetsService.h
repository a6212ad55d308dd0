#pragma once
// The spreadsheet service "Excel" on its local socket: accepts sessions, keeps the list of open
// workbooks for all of them, and exits after a while without any session.
#include <QLocalServer>
#include <QObject>
#include <QTimer>
#include <vector>

#include "ServiceOptions.h"

namespace sheets {

class SheetsSession;
class Workbook;

class SheetsService : public QObject {
    Q_OBJECT
public:
    explicit SheetsService(ServiceOptions options, QObject* parent = nullptr);
    ~SheetsService() override;

    enum class Start { Listening, AlreadyRunning };
    // Prepares the socket folder and listens; why not when it cannot.
    Result<Start> start();

    const ServiceOptions& options() const { return options_; }
    // Every workbook that some session has open, in opening order per session.
    std::vector<const Workbook*> openWorkbooks() const;
    // Room for `more` bytes of cells beside those of every open workbook and of the pokes being
    // written; why not when it does not fit the limit.
    Result<> cellRoom(uint64_t more) const;
    // A poke being written holds its room until it is done.
    void holdCells(int64_t n) { heldCells_ += n; }
    // The session that has the file open, or null.
    const SheetsSession* ownerOf(const QString& absolutePath) const;
    bool busy() const { return busy_ > 0; }
    // Marks the service busy while an open or save runs.
    struct BusyScope {
        SheetsService& s;
        explicit BusyScope(SheetsService& service) : s(service) { ++s.busy_; }
        ~BusyScope() { --s.busy_; }
    };
    void log(const QString& text) const;
    // The budget for large messages that all sessions share; false when n does not fit.
    bool reserveBuffer(uint64_t n);
    void releaseBuffer(uint64_t n) { buffered_ -= n; }

signals:
    void idle();

private:
    ServiceOptions options_;
    QLocalServer server_;
    QTimer idleTimer_;
    std::vector<SheetsSession*> sessions_;
    int busy_ = 0;
    uint64_t buffered_ = 0;
    int64_t heldCells_ = 0;
    int nextSessionId_ = 1;

    void accept();
    void sessionEnded(SheetsSession* s);
};

} // namespace sheets
