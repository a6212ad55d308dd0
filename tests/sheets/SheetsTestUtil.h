#pragma once
// Shared pieces of the spreadsheet service tests: paths of the build, file helpers and a
// minimal protocol client.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QString>
#include <optional>

#include "base/DdeProtocol.h"

namespace sheets::test {

inline QString BuildDir() {
    return qEnvironmentVariable("IMPIX_BUILD_DIR", QStringLiteral(IMPIX_TEST_BUILD_DIR));
}
inline QString SourceDir() {
    return qEnvironmentVariable("IMPIX_SOURCE_DIR", QStringLiteral(IMPIX_TEST_SOURCE_DIR));
}
inline QString TemplatePath() {
    return BuildDir() + QStringLiteral("/Forms/Table1.xls");
}
inline QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
inline bool WriteAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// Talks the conversation protocol over one socket, one transaction at a time.
class Client {
public:
    bool connect(const QString& path) {
        socket_.connectToServer(path);
        return socket_.waitForConnected(5000);
    }
    void sendRaw(const QByteArray& bytes) {
        socket_.write(bytes);
        socket_.flush();
    }
    // Sends m (with the next seq) and returns the first reply to it.
    std::optional<dde::Message> call(dde::Message m) {
        m.seq = ++seq_;
        sendRaw(dde::Encode(m));
        return next();
    }
    std::optional<dde::Message> next(int timeoutMs = 30000) {
        for (;;) {
            if (auto r = decoder_.next())
                return r;
            if (decoder_.failed() || !socket_.waitForReadyRead(timeoutMs))
                return std::nullopt;
            decoder_.feed(socket_.readAll());
        }
    }
    QLocalSocket& socket() { return socket_; }

private:
    QLocalSocket socket_;
    dde::Decoder decoder_;
    uint32_t seq_ = 0;
};

inline dde::Message Msg(dde::MessageKind kind, const QString& a = {}, const QString& b = {},
                        bool wait = false) {
    dde::Message m;
    m.kind = kind;
    m.a = a;
    m.b = b;
    m.wait = wait;
    return m;
}

} // namespace sheets::test
