#pragma once
// The running collector: the spool's writer, the delivery into the database and the listener,
// wired together. SIGTERM (Shutdown) stops taking connections, lets open ones finish for a few
// seconds, closes the rest, commits the spool, delivers what it holds and ends the event loop.
#include <memory>

#include <QObject>
#include <QTimer>

#include "tools/collector/CollectorSettings.h"
#include "tools/collector/Delivery.h"
#include "tools/collector/ReportListener.h"
#include "tools/collector/SpoolWriter.h"

namespace collector {

class CollectorService : public QObject {
    Q_OBJECT
public:
    explicit CollectorService(CollectorSettings settings, QObject* parent = nullptr);
    ~CollectorService() override;

    // Opens the spool, starts the delivery and listens. The error says what could not be done.
    Result<void> Start();
    // Ends the event loop with 0 once everything is written out.
    void Shutdown();

private:
    void Stop();

    CollectorSettings settings_;
    std::unique_ptr<SpoolWriter> spool_;
    std::unique_ptr<Delivery> delivery_;
    std::unique_ptr<ReportListener> listener_;
    QTimer draining_;
    qint64 drainUntilMs_ = 0;
    bool stopping_ = false;
};

// The file the spool lives in, in the state folder.
QString SpoolPath(const CollectorSettings& settings);
// The connection string with its password hidden, for logs and --check.
QString ShownConninfo(const QString& conninfo);

} // namespace collector
