#pragma once
// The serial device as the operating system offers it: a terminal file descriptor opened for
// exclusive non-blocking use. The component above owns the descriptor and decides when to call.
#include <QString>
#include <cstdint>
#include <deque>

#include "base/Result.h"
#include "serial/CommConfig.h"

namespace serialdev {

// The device behind port number n: folder/COM<n> when that link exists (even when it points
// nowhere, so that a vanished device fails instead of opening another one), else
// /dev/ttyS<n-1>. folder ends in a path separator.
QString DevicePath(const QString& folder, int port);

// Opens the terminal device for reading and writing, non-blocking, for this program alone:
// another program holding it (exclusive mode or a lock) makes the open fail. Returns the
// descriptor (never 0 to 2, which stand for "not opened" above), or why not with the failing
// step's errno (EWOULDBLOCK: another program holds the lock).
Result<int> Open(const QString& path);
// Releases the exclusive mode and closes.
void Close(int fd);

// The port's current line settings as a configuration record; false when they cannot be read.
bool ReadConfig(int fd, TCommConfig& cfg);
// Applies the record's line settings; false when the port or the record refuses them.
bool ApplyConfig(int fd, const TCommConfig& cfg);
// Sets the RTS line active; errors are of no interest.
void RaiseRts(int fd);

// Whether the port still answers: no hang-up pending and the modem lines readable. A terminal
// without modem lines (a pseudo-terminal) answers too.
bool Answering(int fd);

// Moves the bytes waiting in the driver to the end of out, at most limit of them. Returns
// false when the device reports that it is gone (end of file, EIO, ENXIO, ENODEV).
bool ReadWaiting(int fd, std::deque<uint8_t>& out, std::size_t limit);

// Writes one byte, waiting at most 500 ms for room in the driver's output queue; a failure is
// not reported.
void WriteByte(int fd, uint8_t value);

} // namespace serialdev
