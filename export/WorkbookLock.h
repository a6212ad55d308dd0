#pragma once
// Whether a spreadsheet program has a workbook open, told by the file it keeps beside it while
// it does: LibreOffice's lock file ".~lock.<name>#" and Excel's owner file "~$<name>". The export
// looks before it replaces a workbook, so that neither overwrites the other's work.
#include <QString>
#include <optional>

struct WorkbookHolder {
    QString program;  // "LibreOffice" or "Excel"
    QString user;     // who has it open, as the file says ("Jane Doe on lab-pc"); may be empty
    QString lockFile; // the file that says so
};

// The program that holds `workbook` open (beside the file as named and, for a symbolic link,
// beside the file it leads to), or nothing. The files are read as a hostile program may have
// written them: only a regular file, its first 4 KiB, the names cut to 64 printable characters.
std::optional<WorkbookHolder> WorkbookHeldBy(const QString& workbook);

// "<name> is open in <program> by <user>. Close it there first; if <program> no longer runs,
// remove <lock file>."
QString HeldMessage(const QString& workbook, const WorkbookHolder& holder);
