#include "base/ReplacingFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/RegularFile.h"

namespace {

// Whether the mode lets the file be written. Root passes every access check, so for root a
// file with no write bit at all counts as protected, as a read-only file does for everyone.
bool MayWrite(const QByteArray& path, const struct stat& st) {
    if (geteuid() == 0)
        return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0;
    return access(path.constData(), W_OK) == 0;
}

QString ErrorText(int err) {
    return QString::fromLocal8Bit(std::strerror(err));
}

// Why a target that is there may not be replaced; empty when it may. A folder, a device or a
// pipe is no file to be replaced by a plain one (nor, a pipe, to be waited on).
QString Unfit(const QByteArray& target, const struct stat& st) {
    if (S_ISDIR(st.st_mode))
        return ErrorText(EISDIR);
    if (!S_ISREG(st.st_mode))
        return NotRegularFileText();
    return MayWrite(target, st) ? QString() : ErrorText(EACCES);
}

// Where the temporary files of a target go and how their names begin: the folder of the file
// finally written (symbolic links followed), the name the caller gave.
struct TempPlace {
    QString folder;
    QString prefix;
};

TempPlace TempPlaceOf(const QString& path, QByteArray* target = nullptr, bool kept = false) {
    const QFileInfo info(path);
    const QByteArray finalFile = QFile::encodeName(info.exists() ? info.canonicalFilePath() : path);
    if (target)
        *target = finalFile;
    return {QFileInfo(QFile::decodeName(finalFile)).absolutePath(),
            (kept ? QStringLiteral(".%1.work") : QStringLiteral(".%1.tmp")).arg(info.fileName())};
}

// Takes the lock of a temporary file just made, and checks that the name still leads to it (a
// sweep may have taken it away between the two).
bool LockTemp(int fd, const QByteArray& name) {
    struct stat held {
    }, named{};
    return ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &held) == 0 &&
           ::lstat(name.constData(), &named) == 0 && held.st_dev == named.st_dev &&
           held.st_ino == named.st_ino;
}

// Hands every file beside the target named as one of its temporary files (kept: its working
// copies) to `stale`, opened without following a link, if it is a regular file of this user;
// removes those it calls stale and returns how many.
template <class Stale> int Sweep(const QString& path, bool kept, Stale stale) {
    const TempPlace place = TempPlaceOf(path, nullptr, kept);
    const QStringList names =
        QDir(place.folder).entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks);
    static const QRegularExpression random(QStringLiteral("^[0-9a-z]{1,7}$"));
    int removed = 0;
    for (const QString& name : names) {
        if (!name.startsWith(place.prefix) ||
            !random.match(QStringView(name).mid(place.prefix.size())).hasMatch())
            continue;
        const QByteArray file = QFile::encodeName(place.folder + '/' + name);
        const int fd = ::open(file.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat st {};
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == geteuid() &&
            stale(fd, file, st) && ::unlink(file.constData()) == 0)
            ++removed;
        ::close(fd);
    }
    return removed;
}

} // namespace

int ReplacingFile::RemoveStaleTemps(const QString& path) {
    // A live writer holds the lock; one that finished has renamed the file away.
    return Sweep(path, false, [](int fd, const QByteArray& file, const struct stat&) {
        return LockTemp(fd, file);
    });
}

int ReplacingFile::RemoveStaleWorkingCopies(const QString& path, const QDateTime& changedBefore) {
    // The status change time, since a working copy takes its template's modification time.
    const qint64 before = changedBefore.toSecsSinceEpoch();
    return Sweep(path, true, [before](int, const QByteArray& file, const struct stat& st) {
        if (st.st_ctim.tv_sec >= before)
            return false;
        // What a save of the working copy left beside it goes with it.
        RemoveStaleTemps(QFile::decodeName(file));
        return true;
    });
}

ReplacingFile::ReplacingFile(const QString& path) : path_(path) {}

Result<void> ReplacingFile::WriteWhole(const QString& path, const QByteArray& bytes) {
    ReplacingFile file(path);
    return file.Open().and_then([&] { return file.Write(bytes); }).and_then([&] {
        return file.Commit();
    });
}

ReplacingFile::~ReplacingFile() {
    Discard();
}

tl::unexpected<Error> ReplacingFile::Failed(int err) {
    Discard();
    return tl::unexpected(Error{ErrorText(err), {}, err});
}

tl::unexpected<Error> ReplacingFile::Failed(const QString& why) {
    Discard();
    return Fail(why);
}

void ReplacingFile::Discard() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    if (!temp_.isEmpty())
        ::unlink(temp_.constData());
    temp_.clear();
}

Result<void> ReplacingFile::Open() {
    const TempPlace place = TempPlaceOf(path_, &target_, kept_);
    struct stat st {};
    const bool exists = ::stat(target_.constData(), &st) == 0;
    if (const QString why = exists ? Unfit(target_, st) : QString(); !why.isEmpty())
        return Failed(why);

    for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
        const QString name = QStringLiteral("%1/%2%3")
                                 .arg(place.folder, place.prefix)
                                 .arg(QRandomGenerator::global()->generate(), 0, 36);
        temp_ = QFile::encodeName(name);
        // 0666 less the umask, as any new file; a replaced file's mode is set below.
        fd_ = ::open(temp_.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ < 0) {
            const int err = errno;
            temp_.clear();
            if (err != EEXIST)
                return Failed(err);
        } else if (!LockTemp(fd_, temp_)) { // a sweep got there first: take another name
            ::close(fd_);
            fd_ = -1;
            temp_.clear();
        }
    }
    if (fd_ < 0)
        return Failed(EEXIST);
    if (exists) {
        if (geteuid() == 0) {
            [[maybe_unused]] const int ignored = ::fchown(fd_, st.st_uid, st.st_gid);
        }
        if (::fchmod(fd_, st.st_mode & 07777) != 0)
            return Failed(errno);
    }
    return {};
}

Result<void> ReplacingFile::Write(const QByteArray& bytes) {
    const char* p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd_, p, static_cast<size_t>(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return Failed(n < 0 ? errno : ENOSPC);
        p += n;
        left -= n;
    }
    return {};
}

Result<void> ReplacingFile::Commit() {
    return Finish(true);
}

Result<void> ReplacingFile::Finish(bool rename) {
    // Some file systems report a full disk only when the data reach it.
    if (!temp_.isEmpty() && ::fsync(fd_) != 0)
        return Failed(errno);
    // Renamed while still open, so its lock keeps a sweep away until it has its final name.
    if (rename && !temp_.isEmpty()) {
        // Whatever took the target's place meanwhile is looked at again.
        struct stat st {};
        if (::stat(target_.constData(), &st) == 0 && !S_ISREG(st.st_mode))
            return Failed(Unfit(target_, st));
        if (::rename(temp_.constData(), target_.constData()) != 0)
            return Failed(errno);
        temp_.clear();
    }
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0)
        return Failed(errno);
    return {};
}

Result<void> ReplacingFile::OpenKept() {
    kept_ = true;
    return Open();
}

Result<void> ReplacingFile::Keep() {
    if (temp_.isEmpty())
        return Failed(EINVAL);
    return Finish(false);
}

QString ReplacingFile::KeptPath() const {
    return QFile::decodeName(temp_);
}

Result<void> ReplacingFile::Replace() {
    if (temp_.isEmpty() || fd_ >= 0)
        return Failed(EINVAL);
    struct stat st {};
    if (::stat(target_.constData(), &st) == 0) {
        if (const QString why = Unfit(target_, st); !why.isEmpty())
            return Failed(why);
        if (geteuid() == 0) {
            [[maybe_unused]] const int ignored = ::chown(temp_.constData(), st.st_uid, st.st_gid);
        }
        if (::chmod(temp_.constData(), st.st_mode & 07777) != 0)
            return Failed(errno);
    }
    if (::rename(temp_.constData(), target_.constData()) != 0)
        return Failed(errno);
    temp_.clear();
    return {};
}
