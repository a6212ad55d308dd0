#pragma once
// The zip container of a workbook, held in memory as read, so that SAVE can copy every part it
// did not change byte for byte while the file on disk is being replaced.
#include <QByteArray>
#include <QString>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <zip.h>

namespace sheets {

class ZipPackage {
public:
    ZipPackage() = default;
    ~ZipPackage();
    ZipPackage(const ZipPackage&) = delete;
    ZipPackage& operator=(const ZipPackage&) = delete;

    // Takes the file's bytes; false (and why) when they are not a zip archive.
    bool open(QByteArray bytes, QString& error);
    bool contains(const std::string& name) const;
    // Hands the part's bytes to sink in pieces as they inflate. False (and why) when the part is
    // missing or damaged, when its declared size is over `limit` or over limits::PartRatio times
    // its compressed size (refused before inflating), when it inflates beyond its declared size
    // (stopped there), or when sink returns false.
    using Sink = std::function<bool(const char* data, size_t size)>;
    bool stream(const std::string& name, uint64_t limit, const Sink& sink,
                std::string& error) const;
    // The part's bytes, for parts read whole (limits::WholePartBytes); nothing (and why) as above.
    std::optional<std::string> read(const std::string& name, std::string* error = nullptr) const;

    // Streams a replaced part: fills up to max bytes, returns how many (0 at the end).
    using Producer = std::function<size_t(char* out, size_t max)>;
    struct Replacement {
        std::function<void()> restart;
        Producer produce;
    };
    // A replacement that hands out the bytes of `text` (which must outlive the save).
    static Replacement FromText(const std::string& text);
    // Writes the package to path with the named parts replaced and the dropped ones left out,
    // through ReplacingFile (a new file beside it, renamed over it only when complete; its mode,
    // owner and symbolic link kept; temporary files that earlier saves left behind removed). On
    // failure the old file stays as it was and no temporary file is left.
    bool save(const QString& path, const std::map<std::string, Replacement>& replaced,
              const std::set<std::string>& dropped, QString& error) const;

private:
    QByteArray bytes_;
    zip_t* zip_ = nullptr;
};

} // namespace sheets
