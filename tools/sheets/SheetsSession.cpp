#include "SheetsSession.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QtEndian>
#include <algorithm>
#include <ctime>

#include "ServiceLimits.h"
#include "SheetsService.h"
#include "ShownText.h"
#include "base/LargePages.h"

namespace sheets {

using dde::MessageKind;

namespace {

constexpr qsizetype Prefix = 4;    // the length of what follows
constexpr qsizetype SkipKeep = 10; // prefix, version, kind and seq of a skipped message
constexpr qint64 ReadPiece = 1 << 20;
constexpr qsizetype SkipPiece = 64 * 1024;
// Rows of a large poke written between two looks at the other sessions (tens of milliseconds).
constexpr uint32_t PokeSliceRows = 16384;

// CPU milliseconds of the whole service so far (the deflater's threads too), for the log: set
// beside the time a poke or command took, it tells working from waiting.
int64_t CpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return int64_t(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

} // namespace

SheetsSession::SheetsSession(QLocalSocket* socket, SheetsService& service, int id, QString refusal)
    : socket_(socket), service_(service), id_(id), refusal_(std::move(refusal)) {
    socket_->setParent(this);
    // The socket layer reads ahead only this far; the rest waits in the kernel (and the client).
    socket_->setReadBufferSize(qint64(limits::ReadAheadBytes));
    decoder_.keepPokeDataRaw(true);
    connect(socket_, &QLocalSocket::readyRead, this, &SheetsSession::readMessages);
    // Replies the client reads make room for the next message.
    connect(socket_, &QLocalSocket::bytesWritten, this, &SheetsSession::readMessages);
    pokeTimer_.setInterval(0);
    connect(&pokeTimer_, &QTimer::timeout, this, &SheetsSession::pokeSlice);
    connect(socket_, &QLocalSocket::disconnected, this, [this] {
        readMessages();
        end(QStringLiteral("the client went"));
    });
    // A client that says nothing for so long holds a session that others may need.
    silence_.setSingleShot(true);
    silence_.setInterval(service_.options().sessionIdleMs);
    connect(&silence_, &QTimer::timeout, this, [this] {
        end(QStringLiteral("silent for %1 ms").arg(service_.options().sessionIdleMs));
    });
    connect(socket_, &QLocalSocket::readyRead, &silence_, qOverload<>(&QTimer::start));
    silence_.start();
    log(refusal_.isEmpty() ? QStringLiteral("session opened")
                           : QStringLiteral("session refused: ") + refusal_);
    if (socket_->bytesAvailable() > 0)
        readMessages();
}

void SheetsSession::endPoke() {
    pokeTimer_.stop();
    poke_.reset();
    stream_.reset();
    service_.holdCells(-pokeRoom_);
    pokeRoom_ = 0;
}

void SheetsSession::pokeSlice() {
    if (!poke_->step(PokeSliceRows))
        return;
    answerPoke(pokeMessage_, {});
    pokeMessage_ = dde::Message();
    readMessages();
}

void SheetsSession::answerPoke(const dde::Message& m, const Result<>& done) {
    endPoke();
    if (!done) {
        log(QStringLiteral("poke %1 -> %2").arg(Shown(m.a), done.error().text));
        send(MessageKind::Refused, m.seq, done.error().text);
        return;
    }
    log(QStringLiteral("poke %1 (%2 bytes) -> accepted in %3 ms (%4 ms CPU)")
            .arg(Shown(m.a))
            .arg(m.data.size())
            .arg(pokeClock_.elapsed())
            .arg(CpuMs() - pokeCpu_));
    send(MessageKind::Accepted, m.seq);
}

void SheetsSession::holdPokeRoom(uint64_t dataBytes) {
    pokeRoom_ = 2 * int64_t(dataBytes);
    service_.holdCells(pokeRoom_);
}

void SheetsSession::streamPoke() {
    if (!stream_) {
        // Its item and the count of its data are needed first.
        if (streamTried_ || skipping_ || length_ <= limits::SmallMessageBytes ||
            message_.size() < SkipKeep + 4)
            return;
        const uint32_t itemBytes = qFromLittleEndian<quint32>(message_.constData() + SkipKeep);
        const qsizetype dataAt = SkipKeep + 4 + qsizetype(itemBytes) + 4;
        if (itemBytes > length_ || message_.size() < dataAt) {
            streamTried_ = itemBytes > length_;
            return;
        }
        streamTried_ = true;
        const uint32_t dataBytes = qFromLittleEndian<quint32>(message_.constData() + dataAt - 4);
        // Only a message that the decoder takes as it is; any other is answered whole, as ever.
        if (uint8_t(message_[4]) != dde::Version ||
            Prefix + qsizetype(length_) - dataAt != qsizetype(dataBytes))
            return;
        const Result<CellRange> range =
            pokeRange(QString::fromUtf8(message_.constData() + SkipKeep + 4, itemBytes), dataBytes);
        if (!range || !Workbook::PokeStream::Appends(*topicBook_, topicSheet_, *range))
            return;
        stream_ = std::make_unique<Workbook::PokeStream>(*topicBook_, topicSheet_, *range,
                                                         size_t(dataBytes));
        streamAt_ = dataAt;
        holdPokeRoom(dataBytes);
        pokeClock_.start();
        pokeCpu_ = CpuMs();
    }
    stream_->advance(
        std::string_view(message_.constData() + streamAt_, size_t(message_.size() - streamAt_)));
}

SheetsSession::~SheetsSession() {
    releaseBuffer();
}

void SheetsSession::log(const QString& text) const {
    service_.log(QStringLiteral("session %1: %2").arg(id_).arg(text));
}

void SheetsSession::end(const QString& why) {
    if (ended_)
        return;
    ended_ = true;
    log(QStringLiteral("ended (%1); %2 workbook(s) closed").arg(why).arg(workbooks_.size()));
    silence_.stop();
    endPoke();
    topicBook_ = active_ = nullptr;
    workbooks_.clear();
    message_ = QByteArray();
    releaseBuffer();
    socket_->abort();
    emit ended();
}

void SheetsSession::releaseBuffer() {
    service_.releaseBuffer(reserved_);
    reserved_ = 0;
}

void SheetsSession::readMessages() {
    // A client that does not read its replies is not read from either, until they drain.
    while (!ended_ && !closing_ && !poke_ &&
           socket_->bytesToWrite() <= qint64(limits::UnreadReplyBytes) && readMessage())
        finishMessage();
}

bool SheetsSession::readMessage() {
    // The length prefix, and of a message that is not small its version, kind and seq too: they
    // decide whether it is taken before a byte more of it is read.
    if (!decided_) {
        if (message_.size() < Prefix) {
            message_ += socket_->read(Prefix - message_.size());
            if (message_.size() < Prefix)
                return false;
            length_ = qFromLittleEndian<quint32>(message_.constData());
            if (length_ > dde::MaxMessageBytes) {
                end(QStringLiteral("bad input: a message of %1 bytes is over the limit")
                        .arg(length_));
                return false;
            }
        }
        const qsizetype head = length_ > limits::SmallMessageBytes ? SkipKeep : Prefix;
        if (message_.size() < head) {
            message_ += socket_->read(head - message_.size());
            if (message_.size() < head)
                return false;
        }
        startMessage();
    }
    if (skipping_) {
        skipped_ = std::max<uint64_t>(skipped_, uint64_t(message_.size() - Prefix));
        for (;;) {
            if (!skipAnswered_ && message_.size() == SkipKeep)
                refuseSkipped();
            if (skipped_ >= length_)
                return true;
            // Read into one small buffer and dropped: a skipped message takes no memory.
            char piece[SkipPiece];
            const qint64 got = socket_->read(piece, qMin<qint64>(length_ - skipped_, SkipPiece));
            if (got <= 0)
                return false;
            if (message_.size() < SkipKeep)
                message_.append(piece, qMin<qint64>(got, SkipKeep - message_.size()));
            skipped_ += uint64_t(got);
        }
    }
    const qsizetype whole = Prefix + qsizetype(length_);
    while (message_.size() < whole) {
        const qsizetype have = message_.size();
        message_.resize(have + qMin<qsizetype>(whole - have, ReadPiece)); // within its capacity
        const qint64 got = socket_->read(message_.data() + have, message_.size() - have);
        message_.resize(have + qMax<qint64>(got, 0));
        if (got <= 0) {
            streamPoke(); // what came so far
            return false;
        }
    }
    return true;
}

void SheetsSession::startMessage() {
    decided_ = true;
    streamTried_ = false;
    skipped_ = 0;
    skipAnswered_ = false;
    skipWhy_ = refusal_;
    if (skipWhy_.isEmpty() && length_ > limits::SmallMessageBytes) {
        const auto kind = MessageKind(uint8_t(message_[5]));
        if (kind != MessageKind::Poke)
            // Only a block of rows needs more; anything else so long is a client gone wrong, and
            // is not held at all.
            skipWhy_ = QStringLiteral("a message of %1 bytes is longer than the %2 MiB the "
                                      "service takes but for a poke")
                           .arg(length_)
                           .arg(limits::SmallMessageBytes >> 20);
        else if (service_.reserveBuffer(Prefix + length_))
            reserved_ = Prefix + length_;
        else
            skipWhy_ = QStringLiteral("the service is holding %1 MiB of messages of other "
                                      "sessions; a message of %2 bytes has to wait")
                           .arg(limits::BufferedBytes >> 20)
                           .arg(length_);
    }
    skipping_ = !skipWhy_.isEmpty();
    if (skipping_)
        log(QStringLiteral("message of %1 bytes skipped: %2").arg(length_).arg(skipWhy_));
    else {
        message_.reserve(Prefix + qsizetype(length_));
        PreferLargePages(message_.data(), size_t(message_.capacity()));
    }
}

void SheetsSession::refuseSkipped() {
    // Answered as soon as its seq is known, while the rest of it is still being skipped.
    skipAnswered_ = true;
    const uint32_t seq =
        message_.size() >= SkipKeep ? qFromLittleEndian<quint32>(message_.constData() + 6) : 0;
    send(MessageKind::Refused, seq, skipWhy_);
    if (!refusal_.isEmpty()) {
        closing_ = true;
        socket_->disconnectFromServer(); // once the refusal is out
    }
}

void SheetsSession::finishMessage() {
    if (skipping_) {
        if (!skipAnswered_)
            refuseSkipped();
        skipping_ = false;
        decided_ = false;
        message_.clear();
        return;
    }
    decided_ = false;
    decoder_.feed(message_);
    message_ = QByteArray(); // the decoder holds the only copy, freed once decoded
    const std::optional<dde::Message> m = decoder_.next();
    releaseBuffer();
    if (!m) {
        end(QStringLiteral("bad input: ") + decoder_.error());
        return;
    }
    handle(*m);
}

void SheetsSession::send(MessageKind kind, uint32_t seq, const QString& text) {
    socket_->write(dde::Encode({.kind = kind, .seq = seq, .a = text}));
    // The client's silence counts from the last answer it had: a long poke or save is no
    // silence of its own.
    if (!ended_)
        silence_.start();
}

void SheetsSession::handle(const dde::Message& m) {
    QElapsedTimer clock;
    clock.start();
    const int64_t cpu = CpuMs();
    switch (m.kind) {
    case MessageKind::Connect:
        connectTopic(m);
        return;
    case MessageKind::Close:
        log(QStringLiteral("conversation closed"));
        topic_ = Topic::None;
        topicBook_ = nullptr;
        send(MessageKind::Closed, m.seq);
        return;
    case MessageKind::Request: {
        const std::optional<QString> text = request(m.a);
        log(QStringLiteral("request %1 -> %2")
                .arg(Shown(m.a), text ? Shown(*text) : QStringLiteral("no reply")));
        if (text)
            send(MessageKind::Data, m.seq, *text);
        else
            send(MessageKind::NoReply, m.seq);
        return;
    }
    case MessageKind::Poke: {
        if (stream_) { // written as it came but for its last rows
            answerPoke(
                m, stream_->finish(std::string_view(m.data.constData(), size_t(m.data.size()))));
            return;
        }
        if (const Result<> started = startPoke(m); !started) {
            answerPoke(m, started);
            return;
        }
        // Written in slices between other sessions' work; this session waits for it. The
        // block is not read again once its rows are written.
        poke_->giveBackWritten();
        holdPokeRoom(uint64_t(m.data.size()));
        pokeMessage_ = m;
        pokeClock_.start();
        pokeCpu_ = CpuMs();
        pokeTimer_.start();
        silence_.stop();
        return;
    }
    case MessageKind::Execute: {
        const Result<> done =
            topic_ != Topic::System
                ? Fail(QStringLiteral("commands go to the topic System"))
                : ParseMacros(m.a).and_then(
                      [this](const std::vector<Macro>& macros) { return execute(macros); });
        log(QStringLiteral("execute %1 -> %2 in %3 ms (%4 ms CPU)")
                .arg(Shown(m.a), done ? QStringLiteral("done") : done.error().text)
                .arg(clock.elapsed())
                .arg(CpuMs() - cpu));
        if (!done) {
            send(MessageKind::Refused, m.seq, done.error().text);
            return;
        }
        send(MessageKind::Accepted, m.seq);
        if (m.wait)
            send(MessageKind::Completed, m.seq);
        return;
    }
    default:
        end(QStringLiteral("a client sent a message of kind %1").arg(int(m.kind)));
        return;
    }
}

Result<CellRange> SheetsSession::pokeRange(const QString& item, uint64_t dataBytes) const {
    const auto range = ParseRange(item, service_.options().letters);
    if (topic_ != Topic::Sheet)
        return Fail(QStringLiteral("pokes go to a sheet topic"));
    if (!range)
        return Fail(RangeProblem(item, service_.options().letters));
    // The cells take up to about twice the text of the block.
    if (Result<> room = service_.cellRoom(2 * dataBytes); !room)
        return tl::unexpected(room.error());
    return *range;
}

Result<> SheetsSession::startPoke(const dde::Message& m) {
    const Result<CellRange> range = pokeRange(m.a, uint64_t(m.data.size()));
    if (!range)
        return tl::unexpected(range.error());
    poke_ = std::make_unique<Workbook::PokeWriter>(
        *topicBook_, topicSheet_, *range,
        std::string_view(m.data.constData(), size_t(m.data.size())));
    return poke_->checked();
}

void SheetsSession::connectTopic(const dde::Message& m) {
    topic_ = Topic::None;
    topicBook_ = nullptr;
    Result<> accepted;
    if (m.a.compare(QLatin1String("Excel"), Qt::CaseInsensitive) != 0) {
        accepted = Fail(QStringLiteral("no service %1 here").arg(Shown(m.a)));
    } else if (m.b.compare(QLatin1String("System"), Qt::CaseInsensitive) == 0) {
        topic_ = Topic::System;
    } else {
        const qsizetype close = m.b.indexOf(']');
        const QStringView book =
            m.b.startsWith('[') && close > 0 ? QStringView(m.b).mid(1, close - 1) : QStringView();
        const QStringView sheet = QStringView(m.b).mid(close + 1);
        for (const auto& wb : workbooks_) {
            if (!book.isEmpty() && wb->name().compare(book, Qt::CaseInsensitive) == 0 &&
                wb->findSheet(sheet) >= 0) {
                topic_ = Topic::Sheet;
                topicBook_ = wb.get();
                topicSheet_ = wb->findSheet(sheet);
            }
        }
        if (topic_ == Topic::None)
            accepted = Fail(QStringLiteral("no open sheet %1 in this session").arg(Shown(m.b)));
    }
    log(QStringLiteral("connect %1|%2 -> %3")
            .arg(Shown(m.a), Shown(m.b),
                 accepted ? QStringLiteral("accepted") : accepted.error().text));
    if (accepted)
        send(MessageKind::Accepted, m.seq);
    else
        send(MessageKind::Refused, m.seq, accepted.error().text);
}

std::optional<QString> SheetsSession::request(const QString& item) const {
    const AddressLetters letters = service_.options().letters;
    if (topic_ == Topic::Sheet) {
        if (const auto cell = ParseCell(item, letters))
            return topicBook_->cellText(topicSheet_, *cell);
    } else if (topic_ == Topic::System) {
        if (item.compare(QLatin1String("Status"), Qt::CaseInsensitive) == 0)
            return service_.busy() ? QStringLiteral("Busy") : QStringLiteral("Ready");
        if (item.compare(QLatin1String("Selection"), Qt::CaseInsensitive) == 0 && active_)
            return QStringLiteral("[%1]%2!%3")
                .arg(active_->name(), active_->sheetName(active_->activeSheet()),
                     FormatCell(active_->selection(), letters));
        if (item.compare(QLatin1String("Topics"), Qt::CaseInsensitive) == 0) {
            QStringList topics;
            for (const Workbook* wb : service_.openWorkbooks())
                for (int i = 0; i < wb->sheetCount(); ++i)
                    topics << QStringLiteral("[%1]%2").arg(wb->name(), wb->sheetName(i));
            topics << QStringLiteral("System");
            return topics.join('\t');
        }
    }
    return std::nullopt;
}

Result<> SheetsSession::execute(const std::vector<Macro>& macros) {
    for (const Macro& m : macros)
        if (const Result<> done = run(m); !done)
            return Fail(m.name, done.error());
    return {};
}

Result<> SheetsSession::run(const Macro& m) {
    const AddressLetters letters = service_.options().letters;
    const qsizetype n = m.args.size();
    if (m.name == QLatin1String("OPEN"))
        return n >= 1 ? open(m.args[0]) : Fail(QStringLiteral("a file name is needed"));
    if (!active_)
        return Fail(QStringLiteral("no workbook is open"));
    if (m.name == QLatin1String("WORKBOOK.SELECT")) {
        const int sheet = n == 1 ? active_->findSheet(m.args[0]) : -1;
        if (sheet < 0)
            return Fail(QStringLiteral("no such sheet in %1").arg(active_->name()));
        active_->activate(sheet);
        return {};
    }
    if (m.name == QLatin1String("SELECT")) {
        const auto cell = n == 1 ? ParseCellAnyLetters(m.args[0], letters) : std::nullopt;
        if (!cell)
            return Fail(QStringLiteral("a cell such as \"R1C1\" is needed"));
        active_->select(*cell);
        return {};
    }
    if (m.name == QLatin1String("FORMULA")) {
        const auto cell = n == 2   ? ParseCellAnyLetters(m.args[1], letters)
                          : n == 1 ? std::optional<CellRef>(active_->selection())
                                   : std::nullopt;
        if (!cell)
            return Fail(QStringLiteral("a text and a cell such as \"R1C1\" are needed"));
        active_->write(active_->activeSheet(), *cell, m.args[0]);
        return {};
    }
    if (m.name == QLatin1String("SAVE")) {
        if (n != 0)
            return Fail(QStringLiteral("takes no arguments"));
        SheetsService::BusyScope busy(service_);
        return active_->save();
    }
    return Fail(QStringLiteral("unknown command"));
}

Result<> SheetsSession::open(const QString& path) {
    const QString absolute = QFileInfo(path).absoluteFilePath();
    for (const auto& wb : workbooks_) {
        if (wb->path() == absolute) {
            active_ = wb.get();
            return {};
        }
    }
    if (service_.ownerOf(absolute))
        return Fail(QStringLiteral("%1 is open in another session").arg(Shown(path)));
    const QString name = QFileInfo(path).fileName();
    for (const Workbook* wb : service_.openWorkbooks())
        if (wb->name().compare(name, Qt::CaseInsensitive) == 0)
            return Fail(QStringLiteral("a workbook named %1 is already open").arg(Shown(name)));
    SheetsService::BusyScope busy(service_);
    Result<std::unique_ptr<Workbook>> opened =
        Workbook::open(path, service_.options().decimalSeparator);
    if (!opened)
        return tl::unexpected(opened.error());
    std::unique_ptr<Workbook> wb = std::move(*opened);
    if (Result<> room = service_.cellRoom(wb->cellBytes()); !room)
        return room;
    active_ = wb.get();
    workbooks_.push_back(std::move(wb));
    return {};
}

} // namespace sheets
