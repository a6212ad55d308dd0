#pragma once
// Opening a data file for reading: only a regular file is taken, and nothing is waited on. A
// folder, a pipe or a device is refused before it is opened; the open itself does not wait
// (O_NONBLOCK: a pipe put in the file's place meanwhile cannot hold it up), and what was opened
// is checked again on its descriptor, so nothing swapped in between the look and the open gets
// through. The file is then put back into blocking mode for its reads.
#include <QByteArray>
#include <QString>

struct RegularFileOpen {
    int fd = -1;   // the open file, or -1
    int error = 0; // why not: the system's error number, or 0 when it is no regular file
    bool Ok() const { return fd >= 0; }
    // "Not a regular file", or the system's text of the error.
    QString ErrorText() const;
};

RegularFileOpen OpenRegularFile(const QByteArray& path);

// The text of a file that is no regular file.
QString NotRegularFileText();
