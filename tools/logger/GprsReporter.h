#pragma once
// Sends GPRS reports: connects over TCP to the report server, writes the report items, closes.
// A failed attempt (no connection, an error, no progress for a while) is tried again after a
// pause, as many times as the retry count says. A report may go out from a local address of its
// own (bound before connecting), so that one machine can stand in for many loggers. One report runs
// at a time; a report asked for while one runs follows it, prepared only when it starts so that it
// holds the newest items.
#include <functional>

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QTcpSocket>
#include <QTimer>

namespace logger {

struct ReportJob {
    QByteArray payload;
    QString host;
    quint16 port = 4000;
    int retries = 0;
    QHostAddress source;             // the local address to connect from; null: the system's choice
    std::function<void()> delivered; // called once when the whole payload went out
};

class GprsReporter : public QObject {
    Q_OBJECT
public:
    explicit GprsReporter(QObject* parent = nullptr);

    // Asks for a report; prepare is called when it starts.
    void Request(std::function<ReportJob()> prepare);
    bool Busy() const { return phase_ != Phase::Idle; }

    int retryDelayMs = 3000;
    int attemptTimeoutMs = 15000;
    std::function<void(const QString&)> onLog;
    // The report ended: delivered or given up.
    std::function<void(bool delivered)> onFinished;

private:
    enum class Phase { Idle, Connecting, Sending, Closing, Waiting };

    void Attempt();
    void Failed(const QString& why);
    void Finish(bool delivered);
    void Log(const QString& text);

    QTcpSocket socket_;
    QTimer timeout_;
    QTimer retry_;
    Phase phase_ = Phase::Idle;
    ReportJob job_;
    int attemptsLeft_ = 0;
    std::function<ReportJob()> next_;
};

} // namespace logger
