#include "tools/logger/GprsReporter.h"

#include "base/EventGuard.h"

namespace logger {

GprsReporter::GprsReporter(QObject* parent) : QObject(parent) {
    timeout_.setSingleShot(true);
    retry_.setSingleShot(true);
    connect(&timeout_, &QTimer::timeout, this, [this] {
        Guarded([this] { Failed(QStringLiteral("no progress, attempt abandoned")); });
    });
    connect(&retry_, &QTimer::timeout, this, [this] { Guarded([this] { Attempt(); }); });
    connect(&socket_, &QTcpSocket::connected, this, [this] {
        Guarded([this] {
            if (phase_ != Phase::Connecting)
                return;
            phase_ = Phase::Sending;
            timeout_.start(attemptTimeoutMs);
            if (job_.payload.isEmpty()) {
                phase_ = Phase::Closing;
                socket_.disconnectFromHost();
            } else {
                socket_.write(job_.payload);
            }
        });
    });
    connect(&socket_, &QTcpSocket::bytesWritten, this, [this](qint64) {
        Guarded([this] {
            if (phase_ != Phase::Sending)
                return;
            timeout_.start(attemptTimeoutMs);
            if (socket_.bytesToWrite() == 0) {
                phase_ = Phase::Closing;
                socket_.disconnectFromHost();
            }
        });
    });
    connect(&socket_, &QTcpSocket::disconnected, this, [this] {
        Guarded([this] {
            if (phase_ == Phase::Closing)
                Finish(true);
            else if (phase_ == Phase::Sending)
                Failed(QStringLiteral("server closed the connection"));
        });
    });
    connect(&socket_, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError) {
        Guarded([this] {
            // Once every byte is out, the server closing first is the end of a good report.
            if (phase_ == Phase::Closing)
                Finish(true);
            else if (phase_ == Phase::Connecting || phase_ == Phase::Sending)
                Failed(socket_.errorString());
        });
    });
}

void GprsReporter::Log(const QString& text) {
    if (onLog)
        onLog(text);
}

void GprsReporter::Request(std::function<ReportJob()> prepare) {
    if (Busy()) {
        next_ = std::move(prepare);
        return;
    }
    job_ = prepare();
    attemptsLeft_ = 1 + std::max(job_.retries, 0);
    Attempt();
}

void GprsReporter::Attempt() {
    --attemptsLeft_;
    phase_ = Phase::Waiting; // the abort below must not count as this attempt's end
    socket_.abort();
    Log(QString("report of %1 bytes to %2:%3")
            .arg(job_.payload.size())
            .arg(job_.host)
            .arg(job_.port));
    timeout_.start(attemptTimeoutMs);
    // Still waiting while binding: a failed bind's own error notice is not this attempt's end.
    if (!job_.source.isNull() && !socket_.bind(job_.source)) {
        Failed(
            QString("cannot send from %1: %2").arg(job_.source.toString(), socket_.errorString()));
        return;
    }
    phase_ = Phase::Connecting;
    socket_.connectToHost(job_.host, job_.port);
}

void GprsReporter::Failed(const QString& why) {
    timeout_.stop();
    phase_ = Phase::Waiting;
    socket_.abort();
    if (attemptsLeft_ > 0) {
        Log(QString("report failed (%1); %2 retries left").arg(why).arg(attemptsLeft_));
        retry_.start(retryDelayMs);
        return;
    }
    Log(QString("report failed (%1); given up").arg(why));
    Finish(false);
}

void GprsReporter::Finish(bool delivered) {
    timeout_.stop();
    retry_.stop();
    phase_ = Phase::Idle;
    if (delivered) {
        Log(QStringLiteral("report delivered"));
        if (job_.delivered)
            job_.delivered();
    }
    job_ = {};
    if (onFinished)
        onFinished(delivered);
    if (next_) {
        // Started from the event loop, not from inside the socket's own notification.
        QTimer::singleShot(0, this, [this] {
            Guarded([this] {
                if (!next_ || Busy())
                    return;
                std::function<ReportJob()> prepare = std::move(next_);
                next_ = {};
                Request(std::move(prepare));
            });
        });
    }
}

} // namespace logger
