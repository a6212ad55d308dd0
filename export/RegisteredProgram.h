#pragma once
// Which of the desktop's programs opens a file: the program registered for the file's type, as
// the freedesktop.org rules for associating types with programs say (mimeapps.list and the
// MimeType keys of the installed desktop entries). The desktop's "open" (xdg-open) starts it,
// but says nothing when there is none; the console asks first, so that it can.
#include <QString>
#include <QStringList>

// Where the rules are looked up: the configuration folders and the data folders (their
// "applications" folders), each most important first, and the desktops running (for their own
// "<desktop>-mimeapps.list").
struct DesktopFolders {
    QStringList config;
    QStringList data;
    QStringList desktops;
    // From $XDG_CONFIG_HOME, $XDG_CONFIG_DIRS, $XDG_DATA_HOME, $XDG_DATA_DIRS and
    // $XDG_CURRENT_DESKTOP, with their defaults.
    static DesktopFolders FromEnvironment();
};

struct FileOpener {
    QString type;        // the file's type ("application/vnd...spreadsheetml.sheet")
    QString description; // the type in words ("Excel 2007 spreadsheet")
    QString program;     // the desktop entry registered for it ("libreoffice-calc.desktop"), or
                         // empty when there is none
};

// The program registered for the file's type or for a type it is a kind of (a workbook is a
// zip archive too): the default named for it, else one associated with it and not removed. Only
// a desktop entry whose program is there counts.
FileOpener RegisteredProgram(const QString& file,
                             const DesktopFolders& folders = DesktopFolders::FromEnvironment());
