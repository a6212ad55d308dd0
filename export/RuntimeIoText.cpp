#include "export/RuntimeIoText.h"

#include <cerrno>

QString RuntimeIoText(int error) {
    switch (error) {
    case ENOENT:
        return QStringLiteral("File not found");
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
        return QStringLiteral("Path not found");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("Too many open files");
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
        return QStringLiteral("File access denied");
    default:
        return QStringLiteral("I/O error %1").arg(error);
    }
}
