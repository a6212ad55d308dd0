#include "export/ReadOnlyFile.h"

#include <QFile>
#include <sys/stat.h>

bool IsReadOnlyFile(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 && !S_ISDIR(st.st_mode) &&
           (st.st_mode & 0222) == 0;
}
