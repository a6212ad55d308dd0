#pragma once
// A file that replaces its target only when complete: written beside the target under another
// name and renamed over it on Commit, so a failure leaves an earlier file of that name as it
// was and no temporary file behind. Unlike QSaveFile it gives the system's reason for every
// failure ("No space left on device", not "Unknown error"), refuses to replace a file whose mode
// forbids writing also when running as root (a rename would pass over the mode), and gives the
// new file the mode of the one it replaces. A target that exists but is no regular file (a
// device, a pipe) is refused ("Not a regular file"): it is never opened, so a pipe without a
// reader cannot hold the writer up, and never replaced by a plain file.
//
// The temporary file is ".<name>.tmp<random>" beside the target, locked (flock) while this object
// holds it open, until it has its final name. A writer killed midway leaves it behind:
// RemoveStaleTemps() removes those of a target, and only those whose lock it can take, so a
// temporary file in use by a live writer (of any process) is never touched. A kept working copy
// (OpenKept) is named ".<name>.work<random>" instead: it is unlocked while another program works
// on it, so the sweep leaves it alone and its removal stays with its owner (or, once it has long
// been left alone, with RemoveStaleWorkingCopies).
#include <QByteArray>
#include <QDateTime>
#include <QString>

#include "base/Result.h"

class ReplacingFile {
public:
    explicit ReplacingFile(const QString& path);
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    // Each fails with the system's reason, its errno as the error's osError where a call gave
    // one; a failure discards what was written.
    [[nodiscard]] Result<void> Open();
    [[nodiscard]] Result<void> Write(const QByteArray& bytes);
    [[nodiscard]] Result<void> Commit();

    // A working copy that another program finishes before it replaces the target: OpenKept is
    // Open, Keep
    // completes the file as Commit does but leaves it under its own name (KeptPath), and Replace
    // later renames it over the target, giving it the target's mode and owner as they are then
    // and refusing a target that has meanwhile lost its write permission. Until Replace the
    // destructor removes the kept file.
    [[nodiscard]] Result<void> OpenKept();
    [[nodiscard]] Result<void> Keep();
    QString KeptPath() const;
    [[nodiscard]] Result<void> Replace();

    // Open, Write and Commit: `bytes` as the whole new file at `path`.
    [[nodiscard]] static Result<void> WriteWhole(const QString& path, const QByteArray& bytes);

    // Removes the temporary files that writers of this target left behind and no longer hold;
    // returns how many.
    static int RemoveStaleTemps(const QString& path);
    // Removes the working copies of this target (with what saves of them left) whose status last
    // changed before `changedBefore`: left by an owner that was killed, since a live one is never
    // idle that long. Returns how many.
    static int RemoveStaleWorkingCopies(const QString& path, const QDateTime& changedBefore);

private:
    // Discards what was written and returns the failure.
    tl::unexpected<Error> Failed(int err);
    tl::unexpected<Error> Failed(const QString& why);
    void Discard();
    // Completes the file: synced, renamed over the target when asked, closed.
    Result<void> Finish(bool rename);

    QString path_;
    QByteArray target_; // the file finally written (symbolic links followed)
    QByteArray temp_;   // empty when writing the target directly
    int fd_ = -1;
    bool kept_ = false; // made by OpenKept
};
