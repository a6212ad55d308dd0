#pragma once
// Where the console's files live. Run from a build folder, the program's folder holds
// everything. Installed under a prefix (the program in <prefix>/bin with <prefix>/share/impix/
// beside it), the shipped files are read from the prefix and everything the console writes goes
// to the user's folders, so nothing is ever written under the prefix.
#include <QString>

enum class RunMode { BuildFolder, Installed };

// The places the console reads or writes files in.
enum class Place {
    Programs,  // the console, with the spreadsheet service beside it
    Shipped,   // read-only files that come with the program: Forms/
    Config,    // Impix2.cfg and the dev/COM<n> links
    Data,      // BinConv.dat
    Documents, // the default Data.txt and workbook; where the save dialog starts
    Archive,   // the measurement archive: the user's data folder in both modes
};

// What the places follow: the program's folder and the user's folders.
struct PathContext {
    QString programFolder; // ending in '/'
    QString configHome;    // $XDG_CONFIG_HOME, or ~/.config
    QString dataHome;      // $XDG_DATA_HOME, or ~/.local/share
    QString documents;     // the user's documents folder
};

// Installed when the program's folder is a bin/ with ../share/impix/ beside it.
RunMode DetectRunMode(const QString& programFolder);

// The folder of `place` in `context`, ending in '/'.
QString PlaceFolder(const PathContext& context, Place place);

// The running program's path of `name` in `place` (the folder itself when `name` is empty).
// Installed, a missing folder of the user's is made first.
QString ImpixPath(Place place, const QString& name = {});
