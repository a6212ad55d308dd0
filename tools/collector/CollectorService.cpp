#include "tools/collector/CollectorService.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QHostInfo>
#include <QRegularExpression>
#include <QStringList>

#include "base/EventGuard.h"
#include "tools/collector/CollectorLog.h"
#include "tools/collector/SpoolSchema.h"

namespace collector {

namespace {
// How long open connections may go on after SIGTERM.
constexpr qint64 DrainMs = 5000;
} // namespace

QString SpoolPath(const CollectorSettings& settings) {
    return QDir(settings.stateDir).filePath(SpoolFileName);
}

QString ShownConninfo(const QString& conninfo) {
    if (conninfo.trimmed().isEmpty())
        return QStringLiteral("(libpq's environment and service file)");
    QString shown = conninfo;
    // key=value form, and the user:password@ of a URI.
    shown.replace(QRegularExpression(R"((password\s*=\s*)('[^']*'|\S+))"), "\\1***");
    shown.replace(QRegularExpression(R"((://[^:/@]*:)[^@]*@)"), "\\1***@");
    return shown;
}

CollectorService::CollectorService(CollectorSettings settings, QObject* parent)
    : QObject(parent), settings_(std::move(settings)) {
    draining_.setInterval(100);
    connect(&draining_, &QTimer::timeout, this, [this] {
        Guarded([this] {
            if (listener_->Open() == 0 || QDateTime::currentMSecsSinceEpoch() >= drainUntilMs_)
                Stop();
        });
    });
}

CollectorService::~CollectorService() {
    // Threads first: they call into the spool and the listener.
    delivery_.reset();
    spool_.reset();
}

Result<void> CollectorService::Start() {
    if (!QDir().mkpath(settings_.stateDir))
        return Fail(QString("cannot make the state folder %1").arg(settings_.stateDir));
    spool_ = std::make_unique<SpoolWriter>(SpoolPath(settings_));
    Result<int64_t> waiting = spool_->Open();
    if (!waiting)
        return Fail(QStringLiteral("spool"), waiting.error());

    listener_ = std::make_unique<ReportListener>(settings_.limits, *spool_);
    delivery_ = std::make_unique<Delivery>(
        DeliverySettings{settings_.database, SpoolPath(settings_), QHostInfo::localHostName(),
                         settings_.acceptUnknown},
        *spool_);
    spool_->onCompleted = [this] { delivery_->Wake(); };
    spool_->onRelieved = [this] {
        QMetaObject::invokeMethod(
            listener_.get(), [this] { Guarded([this] { listener_->Resume(); }); },
            Qt::QueuedConnection);
    };
    if (Result<void> r = listener_->Listen(settings_.listen); !r)
        return r;
    delivery_->Start();

    QStringList addresses;
    for (size_t k = 0; k < settings_.listen.size(); ++k) {
        ListenAddress a = settings_.listen[k];
        a.port = listener_->Ports()[k];
        addresses << ListenAddressText(a);
    }
    Log(QString("listening on %1; spool %2 (%3 reports waiting); database %4")
            .arg(addresses.join(", "), SpoolPath(settings_))
            .arg(*waiting)
            .arg(ShownConninfo(settings_.database)));
    return {};
}

void CollectorService::Shutdown() {
    if (stopping_)
        return;
    stopping_ = true;
    listener_->StopAccepting();
    Log(QString("stopping: %1 connections open").arg(listener_->Open()));
    drainUntilMs_ = QDateTime::currentMSecsSinceEpoch() + DrainMs;
    draining_.start();
}

void CollectorService::Stop() {
    draining_.stop();
    listener_->CloseAll(Ending::Stopped);
    if (!spool_->Flush(60000))
        Log(QStringLiteral("the spool could not be written out"));
    delivery_->Finish();
    spool_->Stop();
    const DeliveryTotals t = delivery_->Totals();
    const SpoolWriter::Stats spooled = spool_->Statistics();
    Log(QString("stopped: %1 reports stored, %2 items, %3 new; %4 s in database transactions; "
                "%5 spool commits, bytes on disk at most %6 ms after arrival (%7 commits later "
                "than 100 ms)")
            .arg(t.reports)
            .arg(t.items)
            .arg(t.newItems)
            .arg(t.databaseSeconds, 0, 'f', 1)
            .arg(spooled.commits)
            .arg(spooled.longestMs)
            .arg(spooled.later));
    QCoreApplication::exit(0);
}

} // namespace collector
