#include "tools/logger/FleetProgram.h"

#include <cstdio>

#include <QCoreApplication>
#include <QDate>
#include <QSaveFile>

#include "base/Failure.h"
#include "records/MeasDecode.h"
#include "tools/logger/FleetDump.h"
#include "tools/logger/LoggerClock.h"

namespace logger {

FleetProgram::FleetProgram(const LoggerOptions& options, QObject* parent)
    : QObject(parent), options_(options) {
    const FleetOptions& fleet = options.fleet;
    const FleetTarget target{options.reportHost.isEmpty() ? QStringLiteral("127.0.0.1")
                                                          : options.reportHost,
                             options.reportPort, options.reportAll, options.retryDelayMs};
    const QDateTime start = fleet.clockStart.isValid() ? fleet.clockStart : LocalCalendarNow();
    for (int k = 0; k < fleet.loggers; ++k) {
        auto logger = std::make_unique<FleetLogger>(k, fleet, target, options.seed, start, this);
        logger->onLog = [this](const QString& text) { Log(text); };
        logger->onDone = [this] {
            if (++done_ < static_cast<int>(loggers_.size()))
                return;
            int givenUp = 0;
            for (const auto& l : loggers_)
                givenUp += l->ReportsGivenUp();
            QCoreApplication::exit(givenUp > 0 ? 1 : 0);
        };
        loggers_.push_back(std::move(logger));
    }
}

void FleetProgram::Start() {
    for (const auto& logger : loggers_)
        logger->Start();
}

void FleetProgram::DumpItems() const {
    if (options_.dumpItemsPath.isEmpty())
        return;
    // Decoded as a collector decodes them, with the year of the computer's clock.
    const int year = QDate::currentDate().year();
    QByteArray text;
    for (const auto& logger : loggers_) {
        const QString address = logger->Address().toString();
        for (const MeasurementBytes& item : logger->Delivered()) {
            text += FleetItemLine(address, DecodeMeasurement(item.data(), year).record);
            text += '\n';
        }
    }
    QSaveFile file(options_.dumpItemsPath);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit())
        throw Failure(QStringLiteral("Cannot write file %1: %2")
                          .arg(options_.dumpItemsPath, file.errorString()));
}

QString FleetProgram::Summary() const {
    int delivered = 0;
    int givenUp = 0;
    size_t items = 0;
    for (const auto& logger : loggers_) {
        delivered += logger->ReportsDelivered();
        givenUp += logger->ReportsGivenUp();
        items += logger->Delivered().size();
    }
    return QString("fleet of %1 loggers: %2 reports delivered, %3 given up, %4 measurements "
                   "delivered")
        .arg(loggers_.size())
        .arg(delivered)
        .arg(givenUp)
        .arg(items);
}

void FleetProgram::Log(const QString& text) const {
    if (options_.verbose)
        std::fprintf(stderr, "impix-logger: %s\n", text.toLocal8Bit().constData());
}

} // namespace logger
