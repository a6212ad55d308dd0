#include "base/ProgramFolder.h"

#include <QDir>
#include <QFileInfo>

QString ProgramFolder() {
    // /proc/self/exe names the program file itself, whatever the working directory is.
    QString dir = QFileInfo(QFile::symLinkTarget("/proc/self/exe")).absolutePath();
    if (dir.isEmpty())
        dir = QDir::currentPath();
    if (!dir.endsWith('/'))
        dir += '/';
    return dir;
}
