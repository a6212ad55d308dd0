#include "protocol/DdeProtocol.h"

#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <QtEndian>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace dde {

namespace {

void PutU32(QByteArray& out, uint32_t v) {
    char b[4];
    qToLittleEndian<quint32>(v, b);
    out.append(b, 4);
}

uint32_t GetU32(const char* p) {
    return qFromLittleEndian<quint32>(p);
}

// The text's count and its UTF-8 bytes, made in place: a text of many megabytes is never held
// twice over.
void PutText(QByteArray& out, const QString& s) {
    QStringEncoder utf8(QStringEncoder::Utf8);
    const qsizetype at = out.size();
    out.resize(at + 4 + utf8.requiredSpace(s.size()));
    char* const start = out.data() + at + 4;
    const qsizetype n = utf8.appendToBuffer(start, s) - start;
    qToLittleEndian<quint32>(uint32_t(n), out.data() + at);
    out.resize(at + 4 + n);
}

// Reads fields from one message body; any read past its end marks it bad.
struct Reader {
    const char* p;
    qsizetype left;
    bool bad = false;

    bool u8(uint8_t& v) {
        if (left < 1)
            return bad = true, false;
        v = uint8_t(*p);
        ++p, --left;
        return true;
    }
    bool u32(uint32_t& v) {
        if (left < 4)
            return bad = true, false;
        v = GetU32(p);
        p += 4, left -= 4;
        return true;
    }
    // A field's bytes: its count, then the bytes.
    bool span(const char*& at, qsizetype& size) {
        uint32_t n = 0;
        if (!u32(n) || n > uint64_t(left))
            return bad = true, false;
        at = p;
        size = qsizetype(n);
        p += n, left -= n;
        return true;
    }
    bool text(QString& s) {
        const char* at = nullptr;
        qsizetype n = 0;
        if (!span(at, n))
            return false;
        s = QString::fromUtf8(at, n);
        return true;
    }
};

bool KnownKind(uint8_t k) {
    return (k >= uint8_t(MessageKind::Connect) && k <= uint8_t(MessageKind::Execute)) ||
           (k >= uint8_t(MessageKind::Data) && k <= uint8_t(MessageKind::Closed));
}

// The fields a kind carries after its seq, in this order: text a, text b, the wait flag.
struct Fields {
    bool a = false, b = false, wait = false;
};

Fields FieldsOf(MessageKind kind) {
    switch (kind) {
    case MessageKind::Connect:
    case MessageKind::Poke:
        return {true, true, false};
    case MessageKind::Request:
    case MessageKind::Data:
    case MessageKind::Refused:
        return {true, false, false};
    case MessageKind::Execute:
        return {true, false, true};
    default:
        return {};
    }
}

// Starts a message: a length to be filled in by Finish, version, kind and seq.
QByteArray Start(MessageKind kind, uint32_t seq) {
    QByteArray out;
    PutU32(out, 0);
    out.append(char(Version));
    out.append(char(kind));
    PutU32(out, seq);
    return out;
}

// Fills in the length of what follows it, plus `more` bytes sent after the message's own.
QByteArray Finish(QByteArray out, uint32_t more = 0) {
    qToLittleEndian<quint32>(uint32_t(out.size() - 4) + more, out.data());
    return out;
}

} // namespace

QByteArray EncodePokeHead(uint32_t seq, const QString& item, uint32_t dataBytes) {
    QByteArray out = Start(MessageKind::Poke, seq);
    PutText(out, item);
    PutU32(out, dataBytes);
    return Finish(std::move(out), dataBytes);
}

QByteArray Encode(const Message& m) {
    QByteArray out = Start(m.kind, m.seq);
    const Fields f = FieldsOf(m.kind);
    if (f.a)
        PutText(out, m.a);
    if (f.b)
        PutText(out, m.b);
    if (f.wait)
        out.append(char(m.wait ? 1 : 0));
    return Finish(std::move(out));
}

void Decoder::feed(const QByteArray& bytes) {
    if (failed())
        return;
    // Drop what was already consumed before the buffer grows again.
    if (pos_ > 0 && pos_ >= buf_.size() / 2) {
        buf_.remove(0, pos_);
        pos_ = 0;
    }
    buf_.append(bytes);
    // A large message arrives in many pieces: make room for all of it at once rather than
    // copying the growing buffer again and again.
    if (buf_.size() - pos_ >= 4) {
        const qsizetype whole = pos_ + 4 + qsizetype(GetU32(buf_.constData() + pos_));
        if (whole <= pos_ + 4 + qsizetype(MaxMessageBytes) && whole > buf_.capacity())
            buf_.reserve(whole);
    }
}

std::optional<Message> Decoder::next() {
    if (failed() || buf_.size() - pos_ < 4)
        return std::nullopt;
    const uint32_t n = GetU32(buf_.constData() + pos_);
    if (n > MaxMessageBytes) {
        error_ = QStringLiteral("message of %1 bytes is over the limit").arg(n);
        return std::nullopt;
    }
    if (buf_.size() - pos_ - 4 < qsizetype(n))
        return std::nullopt;
    Reader r{buf_.constData() + pos_ + 4, qsizetype(n)};
    pos_ += 4 + qsizetype(n);

    Message m;
    uint8_t version = 0, kind = 0;
    if (!r.u8(version) || version != Version) {
        error_ = QStringLiteral("protocol version %1 is not %2").arg(version).arg(Version);
        return std::nullopt;
    }
    if (!r.u8(kind) || !KnownKind(kind)) {
        error_ = QStringLiteral("unknown message kind %1").arg(kind);
        return std::nullopt;
    }
    m.kind = MessageKind(kind);
    r.u32(m.seq);
    const Fields f = FieldsOf(m.kind);
    if (f.a)
        r.text(m.a);
    if (f.b && m.kind == MessageKind::Poke && rawPokeData_) {
        const char* at = nullptr;
        qsizetype n = 0;
        if (!r.bad && r.span(at, n)) {
            m.holder = buf_;
            m.data = QByteArray::fromRawData(at, n);
        }
    } else if (f.b) {
        r.text(m.b);
    }
    if (f.wait) {
        uint8_t w = 0;
        r.u8(w);
        m.wait = w != 0;
    }
    if (r.bad || r.left != 0) {
        error_ = QStringLiteral("malformed message of kind %1").arg(kind);
        return std::nullopt;
    }
    // All taken: let go of the buffer, which a large message may have grown to many megabytes.
    if (pos_ == buf_.size()) {
        buf_ = QByteArray();
        pos_ = 0;
    }
    return m;
}

QString SocketFolder() {
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty())
        return QFile::decodeName(runtime) + QStringLiteral("/impix-dde");
    return QStringLiteral("/tmp/impix-dde-%1").arg(getuid());
}

QString SocketPath(const QString& service) {
    return SocketFolder() + '/' + service;
}

Result<void> PrepareSocketFolder(const QString& folder) {
    const QByteArray path = QFile::encodeName(folder);
    if (mkdir(path.constData(), 0700) != 0 && errno != EEXIST)
        return Fail(QStringLiteral("Cannot create the folder %1: %2")
                        .arg(folder, QString::fromLocal8Bit(strerror(errno))));
    struct stat st {};
    if (lstat(path.constData(), &st) != 0)
        return Fail(QStringLiteral("Cannot examine the folder %1: %2")
                        .arg(folder, QString::fromLocal8Bit(strerror(errno))));
    if (!S_ISDIR(st.st_mode))
        return Fail(QStringLiteral("%1 is not a folder").arg(folder));
    if (st.st_uid != getuid())
        return Fail(QStringLiteral("The folder %1 belongs to another user").arg(folder));
    if ((st.st_mode & 077) != 0)
        return Fail(
            QStringLiteral("The folder %1 is open to other users (mode %2); it must be 0700")
                .arg(folder)
                .arg(st.st_mode & 0777, 4, 8, QChar('0')));
    return {};
}

} // namespace dde
