#pragma once
// What the service takes from its clients and their files at most. Each is refused with a
// reason when reached, so that one client or file cannot take the memory or the time of all.
#include <cstdint>

namespace sheets::limits {

constexpr int Sessions = 16;
// A session's messages are read one at a time, each at most dde::MaxMessageBytes (64 MiB; a
// longer one ends the session). Only a poke may be over SmallMessageBytes: anything else so long
// is refused on its head and skipped unread. Those pokes draw on BufferedBytes, shared by all
// sessions; one that does not fit is refused (and skipped) rather than buffered.
constexpr uint64_t SmallMessageBytes = 1ull << 20;
constexpr uint64_t BufferedBytes = 256ull << 20;
// How much the socket layer reads ahead of the message being read, per session.
constexpr uint64_t ReadAheadBytes = 1ull << 20;
// A session whose replies are not being read is not read from either until they drain.
constexpr uint64_t UnreadReplyBytes = 8ull << 20;
// A session whose client has sent nothing since its last answer for this long is closed. The
// default of the option --session-idle-ms.
constexpr int SessionIdleMs = 10 * 60 * 1000;

// The cells of all open workbooks, in the service's compact form (a full sheet of the export,
// a million rows of seven cells, takes about 50 MiB): an OPEN or a poke beyond is refused. The
// default of the option --cell-limit-mib.
constexpr uint64_t CellBytes = 192ull << 20;
// A workbook file is held in memory while it is open.
constexpr uint64_t WorkbookFileBytes = 256ull << 20;
// A part of the package, checked against its declared sizes before it is inflated and against
// what inflating it gives.
constexpr uint64_t PartBytes = 1ull << 30;
constexpr uint64_t PartRatio = 200;
// Parts read whole into a document tree (all but the sheets, which are streamed).
constexpr uint64_t WholePartBytes = 32ull << 20;
// A sheet's XML besides its rows, kept to be written back.
constexpr uint64_t SheetFrameBytes = 64ull << 20;
// One piece of markup (a tag, a comment) that the parser must hold whole.
constexpr uint64_t XmlTokenBytes = 16ull << 20;

} // namespace sheets::limits
