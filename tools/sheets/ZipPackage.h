#pragma once
// The zip container of a workbook, held in memory as read, so that SAVE can copy every part it
// did not change byte for byte while the file on disk is being replaced.
#include <QByteArray>
#include <QString>
#include <optional>
#include <string>
#include <vector>
#include <zip.h>

#include "PartDeflater.h"
#include "base/Result.h"

namespace sheets {

class ZipWriter;

class ZipPackage {
public:
    ZipPackage() = default;
    ~ZipPackage();
    ZipPackage(const ZipPackage&) = delete;
    ZipPackage& operator=(const ZipPackage&) = delete;

    // Takes the file's bytes; why not when they are not a zip archive.
    Result<> open(QByteArray bytes);
    bool contains(const std::string& name) const;
    // Hands the part's bytes to sink in pieces as they inflate. Why not when the part is missing
    // or damaged, when its declared size is over `limit` or over limits::PartRatio times its
    // compressed size (refused before inflating), when it inflates beyond its declared size
    // (stopped there); an error without text when sink returned false.
    using Sink = std::function<bool(const char* data, size_t size)>;
    Result<> stream(const std::string& name, uint64_t limit, const Sink& sink) const;
    // The part's bytes, for parts read whole (limits::WholePartBytes); why not as above.
    Result<std::string> read(const std::string& name) const;

    // The names of its parts, in the order of the archive.
    std::vector<std::string> names() const;

    // What SAVE writes for one part: the bytes that `produce` hands out, deflated as they come,
    // or, without a producer, the part as it is in this package, copied still compressed.
    struct SavedPart {
        std::string name;
        PartProducer produce;
    };
    // A producer that hands out the bytes of `text` (which must outlive the save).
    static PartProducer FromText(const std::string& text);
    // Writes a package of the given parts, in that order, to path through ReplacingFile (a new
    // file beside it, renamed over it only when complete; its mode, owner and symbolic link
    // kept; temporary files that earlier saves left behind removed). On failure the old file
    // stays as it was and no temporary file is left.
    Result<> save(const QString& path, const std::vector<SavedPart>& parts) const;

private:
    QByteArray bytes_;
    // Adds the part as it is here to out; why not when it cannot be read or written.
    Result<> copyCompressed(const std::string& name, ZipWriter& out) const;
    zip_t* zip_ = nullptr;
};

} // namespace sheets
