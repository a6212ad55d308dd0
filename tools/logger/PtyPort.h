#pragma once
// The logger's end of a pseudo-terminal. The console opens the slave side as its serial port;
// the logger reads and writes the master side. The slave is kept open here as well, so the
// master never sees a hang-up when the console closes and reopens its port. Because of that the
// terminal outlives a console that ends without closing its port (killed, crashed), and keeps
// the exclusive mode that console set; it is taken back once no console holds the port's lock.
#include <deque>
#include <functional>

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

class QSocketNotifier;

namespace logger {

class PtyPort : public QObject {
    Q_OBJECT
public:
    explicit PtyPort(QObject* parent = nullptr);
    ~PtyPort() override;

    // Opens the pair in raw mode; throws Failure when the system has no terminal to give.
    void Open();
    QString SlavePath() const { return slavePath_; }

    // Queues bytes for the console, written after the given pause once everything queued
    // before them is written. Never blocks. While more than MaxPending bytes wait (nobody reads
    // the terminal), further writes are dropped whole, as a line with no listener loses them.
    void Write(const QByteArray& bytes, int pauseBeforeMs = 0);
    // Bytes queued and not yet handed to the terminal.
    qsizetype Pending() const { return pending_; }
    // Room for the largest download the memory can hold, and more.
    static constexpr qsizetype MaxPending = qsizetype{64} << 20;

    // Bytes from the console, in arrival order.
    std::function<void(const QByteArray&)> onBytes;
    std::function<void(const QString&)> onLog;

private:
    struct Segment {
        QByteArray bytes;
        int pauseBeforeMs = 0;
        qsizetype written = 0;
        bool paused = false;
    };

    void ReadReady();
    void Flush();
    void Close();
    void ReleaseStaleExclusiveMode();

    int master_ = -1;
    int slave_ = -1;
    QString slavePath_;
    QSocketNotifier* readNotifier_ = nullptr;
    QSocketNotifier* writeNotifier_ = nullptr;
    QTimer pauseTimer_;
    QTimer readRetry_;
    QTimer exclusiveCheck_;
    std::deque<Segment> queue_;
    qsizetype pending_ = 0;
    bool dropping_ = false;
};

} // namespace logger
