#include "base/ReplacingFile.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Whether the mode lets the file be written. Root passes every access check, so for root a
// file with no write bit at all counts as protected, as a read-only file does for everyone.
bool MayWrite(const QByteArray& path, const struct stat& st) {
    if (geteuid() == 0)
        return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0;
    return access(path.constData(), W_OK) == 0;
}

} // namespace

ReplacingFile::ReplacingFile(const QString& path) : path_(path) {}

ReplacingFile::~ReplacingFile() {
    Discard();
}

bool ReplacingFile::Fail(int err) {
    error_ = QString::fromLocal8Bit(std::strerror(err));
    Discard();
    return false;
}

void ReplacingFile::Discard() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    if (!temp_.isEmpty())
        ::unlink(temp_.constData());
    temp_.clear();
}

bool ReplacingFile::Open() {
    const QFileInfo info(path_);
    target_ = QFile::encodeName(info.exists() ? info.canonicalFilePath() : path_);
    struct stat st {};
    const bool exists = ::stat(target_.constData(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode))
        return Fail(EISDIR);
    if (exists && !S_ISREG(st.st_mode)) {
        // Nothing to keep, and a rename would put a plain file in the device's place.
        fd_ = ::open(target_.constData(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
        return fd_ >= 0 || Fail(errno);
    }
    if (exists && !MayWrite(target_, st))
        return Fail(EACCES);

    const QString folder = QFileInfo(QFile::decodeName(target_)).absolutePath();
    for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
        const QString name = QStringLiteral("%1/.%2.%3")
                                 .arg(folder, info.fileName())
                                 .arg(QRandomGenerator::global()->generate(), 0, 36);
        temp_ = QFile::encodeName(name);
        // 0666 less the umask, as any new file; a replaced file's mode is set below.
        fd_ = ::open(temp_.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ < 0) {
            const int err = errno;
            temp_.clear();
            if (err != EEXIST)
                return Fail(err);
        }
    }
    if (fd_ < 0)
        return Fail(EEXIST);
    if (exists) {
        if (geteuid() == 0) {
            [[maybe_unused]] const int ignored = ::fchown(fd_, st.st_uid, st.st_gid);
        }
        if (::fchmod(fd_, st.st_mode & 07777) != 0)
            return Fail(errno);
    }
    return true;
}

bool ReplacingFile::Write(const QByteArray& bytes) {
    const char* p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd_, p, static_cast<size_t>(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return Fail(n < 0 ? errno : ENOSPC);
        p += n;
        left -= n;
    }
    return true;
}

bool ReplacingFile::Commit() {
    // Some file systems report a full disk only when the data reach it.
    if (!temp_.isEmpty() && ::fsync(fd_) != 0)
        return Fail(errno);
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0)
        return Fail(errno);
    if (!temp_.isEmpty() && ::rename(temp_.constData(), target_.constData()) != 0)
        return Fail(errno);
    temp_.clear();
    return true;
}

bool ReplacingFile::OpenKept() {
    // A device or a pipe cannot be worked on under another name; a pipe could block the open.
    struct stat st {};
    const QByteArray native = QFile::encodeName(QFileInfo(path_).absoluteFilePath());
    if (::stat(native.constData(), &st) == 0 && !S_ISREG(st.st_mode))
        return Fail(S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
    return Open();
}

bool ReplacingFile::Keep() {
    if (temp_.isEmpty())
        return Fail(EINVAL);
    if (::fsync(fd_) != 0)
        return Fail(errno);
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0)
        return Fail(errno);
    return true;
}

QString ReplacingFile::KeptPath() const {
    return QFile::decodeName(temp_);
}

bool ReplacingFile::Replace() {
    if (temp_.isEmpty() || fd_ >= 0)
        return Fail(EINVAL);
    struct stat st {};
    if (::stat(target_.constData(), &st) == 0) {
        if (!S_ISREG(st.st_mode))
            return Fail(S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
        if (!MayWrite(target_, st))
            return Fail(EACCES);
        if (geteuid() == 0) {
            [[maybe_unused]] const int ignored = ::chown(temp_.constData(), st.st_uid, st.st_gid);
        }
        if (::chmod(temp_.constData(), st.st_mode & 07777) != 0)
            return Fail(errno);
    }
    if (::rename(temp_.constData(), target_.constData()) != 0)
        return Fail(errno);
    temp_.clear();
    return true;
}
