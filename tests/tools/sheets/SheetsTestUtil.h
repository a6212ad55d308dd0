#pragma once
// Shared pieces of the spreadsheet service tests: paths of the build, file helpers and a
// minimal protocol client.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QString>
#include <cstring>
#include <optional>
#include <string>
#include <zip.h>

#include "Workbook.h"
#include "base/Result.h"
#include "protocol/DdeProtocol.h"

namespace sheets::test {

// The engine's results as the tests check them: success, and the text of a failure in `error`.
inline bool Ok(const Result<>& r, QString& error) {
    error = r ? QString() : r.error().text;
    return r.has_value();
}
inline std::unique_ptr<Workbook> OpenWorkbook(const QString& path, const QString& decimalSeparator,
                                              QString& error) {
    Result<std::unique_ptr<Workbook>> wb = Workbook::open(path, decimalSeparator);
    error = wb ? QString() : wb.error().text;
    return wb ? std::move(*wb) : nullptr;
}

inline QString BuildDir() {
    return qEnvironmentVariable("IMPIX_BUILD_DIR", QStringLiteral(IMPIX_TEST_BUILD_DIR));
}
inline QString SourceDir() {
    return qEnvironmentVariable("IMPIX_SOURCE_DIR", QStringLiteral(IMPIX_TEST_SOURCE_DIR));
}
inline QString TemplatePath() {
    return BuildDir() + QStringLiteral("/Forms/Table1.xlsx");
}
inline QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
inline bool WriteAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// A copy of the template in folder with one part replaced by bytes (or removed when null).
inline QString Variant(const QString& folder, const char* name, const char* bytes,
                       size_t size = std::string::npos) {
    static int count = 0;
    const QString path = folder + QStringLiteral("/variant%1.xlsx").arg(++count);
    QFile::copy(TemplatePath(), path);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    zip_t* z = zip_open(QFile::encodeName(path).constData(), 0, nullptr);
    const zip_int64_t i = zip_name_locate(z, name, 0);
    if (bytes)
        zip_file_replace(
            z, zip_uint64_t(i),
            zip_source_buffer(z, bytes, size == std::string::npos ? strlen(bytes) : size, 0), 0);
    else
        zip_delete(z, zip_uint64_t(i));
    zip_close(z);
    return path;
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
    return {.kind = kind, .a = a, .b = b, .wait = wait};
}

} // namespace sheets::test
