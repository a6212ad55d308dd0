#include "SheetsService.h"

#include <QFileInfo>
#include <QLocalSocket>
#include <algorithm>
#include <cstdio>

#include "ServiceLimits.h"
#include "SheetsSession.h"
#include "Workbook.h"
#include "protocol/DdeProtocol.h"

namespace sheets {

namespace {

bool AnotherInstanceAnswers(const QString& path) {
    QLocalSocket probe;
    probe.connectToServer(path);
    return probe.waitForConnected(1000);
}

} // namespace

SheetsService::SheetsService(ServiceOptions options, QObject* parent)
    : QObject(parent), options_(std::move(options)) {
    idleTimer_.setSingleShot(true);
    idleTimer_.setInterval(options_.idleExitMs);
    connect(&idleTimer_, &QTimer::timeout, this, [this] {
        log(QStringLiteral("no session for %1 ms: exiting").arg(options_.idleExitMs));
        emit idle();
    });
    connect(&server_, &QLocalServer::newConnection, this, &SheetsService::accept);
}

SheetsService::~SheetsService() {
    server_.close();
    for (SheetsSession* s : sessions_)
        delete s;
}

Result<SheetsService::Start> SheetsService::start() {
    if (Result<void> fit = dde::PrepareSocketFolder(dde::SocketFolder()); !fit)
        return tl::unexpected(fit.error());
    const QString path = dde::SocketPath(QStringLiteral("Excel"));
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (QFileInfo::exists(path)) {
            if (AnotherInstanceAnswers(path))
                return Start::AlreadyRunning;
            QLocalServer::removeServer(path); // left behind by a service that died
        }
        if (server_.listen(path)) {
            log(QStringLiteral("listening on %1").arg(path));
            idleTimer_.start();
            return Start::Listening;
        }
        // Another instance may have started between the look and the listen.
    }
    return Fail(QStringLiteral("cannot listen on %1: %2").arg(path, server_.errorString()));
}

void SheetsService::accept() {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        const auto refused = std::count_if(sessions_.begin(), sessions_.end(),
                                           [](const SheetsSession* s) { return s->refused(); });
        QString refusal;
        if (qsizetype(sessions_.size()) - refused >= limits::Sessions) {
            if (refused >= limits::Sessions) { // too many at once even to say why
                socket->abort();
                socket->deleteLater();
                continue;
            }
            refusal =
                QStringLiteral("the service serves %1 sessions already").arg(limits::Sessions);
        }
        auto* s = new SheetsSession(socket, *this, nextSessionId_++, refusal);
        sessions_.push_back(s);
        idleTimer_.stop();
        connect(s, &SheetsSession::ended, this, [this, s] { sessionEnded(s); });
    }
}

void SheetsService::sessionEnded(SheetsSession* s) {
    std::erase(sessions_, s);
    s->deleteLater();
    if (sessions_.empty())
        idleTimer_.start();
}

std::vector<const Workbook*> SheetsService::openWorkbooks() const {
    std::vector<const Workbook*> out;
    for (const SheetsSession* s : sessions_)
        for (const auto& wb : s->workbooks())
            out.push_back(wb.get());
    return out;
}

Result<> SheetsService::cellRoom(uint64_t more) const {
    uint64_t held = uint64_t(heldCells_);
    for (const Workbook* wb : openWorkbooks())
        held += wb->cellBytes();
    if (held + more <= options_.cellBytes)
        return {};
    return Fail(QStringLiteral("the open workbooks hold %1 MiB of cells and this needs %2 MiB "
                               "more; the service keeps at most %3 MiB")
                    .arg(held >> 20)
                    .arg((more + (1 << 20) - 1) >> 20)
                    .arg(options_.cellBytes >> 20));
}

const SheetsSession* SheetsService::ownerOf(const QString& absolutePath) const {
    for (const SheetsSession* s : sessions_)
        for (const auto& wb : s->workbooks())
            if (wb->path() == absolutePath)
                return s;
    return nullptr;
}

bool SheetsService::reserveBuffer(uint64_t n) {
    if (buffered_ + n > limits::BufferedBytes)
        return false;
    buffered_ += n;
    return true;
}

void SheetsService::log(const QString& text) const {
    if (options_.verbose)
        std::fprintf(stderr, "impix-sheets: %s\n", qPrintable(text));
}

} // namespace sheets
