#include "tools/logger/LoggerProgram.h"

#include <cstdio>

#include <QDate>

#include "tools/logger/ItemDump.h"

namespace logger {

LoggerProgram::LoggerProgram(const LoggerOptions& options, QObject* parent)
    : QObject(parent), options_(options), clock_(options.speed), synth_(options.seed),
      core_(clock_, synth_), faults_(options.faults, options.seed), port_(this), reporter_(this),
      scheduler_(core_, options.periodMs, this) {
    port_.onBytes = [this](const QByteArray& bytes) {
        for (char b : bytes)
            core_.Receive(static_cast<uint8_t>(b));
    };
    core_.onAnswer = [this](const std::vector<uint8_t>& frame) {
        for (const OutputSegment& s : faults_.Apply(frame))
            port_.Write(s.bytes, s.pauseBeforeMs);
    };
    core_.onReportRequested = [this] { reporter_.Request([this] { return PrepareReport(); }); };
    auto log = [this](const QString& text) { Log(text); };
    core_.onLog = log;
    port_.onLog = log;
    reporter_.onLog = log;
    reporter_.retryDelayMs = options.retryDelayMs;
}

void LoggerProgram::Start() {
    port_.Open();
    Log(QString("seed %1, clock %2").arg(options_.seed).arg(clock_.Now().toString(Qt::ISODate)));
}

ReportJob LoggerProgram::PrepareReport() {
    ReportBatch batch = core_.PrepareReport(options_.reportAll);
    ReportJob job;
    job.payload = batch.bytes;
    job.host = options_.reportHost.isEmpty()
                   ? QString::fromLatin1(core_.Settings().serverIp).trimmed()
                   : options_.reportHost;
    job.port = options_.reportPort;
    job.retries = core_.Settings().reportRetries;
    job.delivered = [this, batch] { core_.MarkReported(batch); };
    Log(QString("report of %1 items").arg(batch.items));
    return job;
}

void LoggerProgram::DumpItems() const {
    if (options_.dumpItemsPath.isEmpty())
        return;
    // The console decodes with the current year and formats with the system's conventions.
    WriteItemDump(options_.dumpItemsPath, core_.Memory(), QDate::currentDate().year(),
                  FormatSettings::system());
    Log(QString("%1 items written to %2").arg(core_.Memory().size()).arg(options_.dumpItemsPath));
}

void LoggerProgram::Log(const QString& text) const {
    if (options_.verbose)
        std::fprintf(stderr, "impix-logger: %s\n", text.toLocal8Bit().constData());
}

} // namespace logger
