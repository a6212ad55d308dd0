#include "tools/logger/PortLink.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>

#include "base/Failure.h"

namespace logger {

namespace {

QString SystemError() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

void CreatePortLink(const QString& link, const QString& target) {
    QFileInfo info(link);
    if (!QDir().mkpath(info.absolutePath()))
        throw Failure(QString("cannot create the folder %1").arg(info.absolutePath()));
    QByteArray path = QFile::encodeName(info.absoluteFilePath());
    if (info.isDir() && !info.isSymLink())
        throw Failure(QString("%1 is a folder").arg(link));
    if (::unlink(path.constData()) != 0 && errno != ENOENT)
        throw Failure(QString("cannot replace %1: %2").arg(link, SystemError()));
    if (::symlink(QFile::encodeName(target).constData(), path.constData()) != 0)
        throw Failure(QString("cannot create the link %1: %2").arg(link, SystemError()));
}

void RemovePortLink(const QString& link, const QString& target) {
    QByteArray path = QFile::encodeName(QFileInfo(link).absoluteFilePath());
    char buf[4096];
    ssize_t n = ::readlink(path.constData(), buf, sizeof buf - 1);
    if (n < 0)
        return;
    buf[n] = 0;
    if (QFile::decodeName(buf) == target)
        ::unlink(path.constData());
}

} // namespace logger
