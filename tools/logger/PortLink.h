#pragma once
// The symbolic link through which the console finds the emulator's terminal, such as
// build/dev/COM2 -> /dev/pts/5.
#include <QString>

namespace logger {

// Makes link point at target, creating its folder and replacing an older link or file there.
// Throws Failure when that is not possible (a folder in the way, no permission).
void CreatePortLink(const QString& link, const QString& target);
// Removes the link if it still points at target; a link that another program has since pointed
// elsewhere is left alone.
void RemovePortLink(const QString& link, const QString& target);

} // namespace logger
