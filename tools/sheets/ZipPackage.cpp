#include "ZipPackage.h"

#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <algorithm>
#include <cstring>
#include <isa-l/igzip_lib.h>
#include <memory>

#include "ServiceLimits.h"
#include "ZipWriter.h"
#include "base/ReplacingFile.h"

namespace sheets {

namespace {

constexpr size_t StreamChunk = 256u << 10;

QString ZipErrorText(zip_error_t* e) {
    return QString::fromLocal8Bit(zip_error_strerror(e));
}

} // namespace

ZipPackage::~ZipPackage() {
    if (zip_)
        zip_discard(zip_);
}

Result<> ZipPackage::open(QByteArray bytes) {
    bytes_ = std::move(bytes);
    zip_error_t ze;
    zip_error_init(&ze);
    zip_source_t* src =
        zip_source_buffer_create(bytes_.constData(), zip_uint64_t(bytes_.size()), 0, &ze);
    if (src)
        zip_ = zip_open_from_source(src, ZIP_RDONLY | ZIP_CHECKCONS, &ze);
    QString error;
    if (!zip_) {
        error = QStringLiteral("not a workbook file (%1)").arg(ZipErrorText(&ze));
        if (src)
            zip_source_free(src);
    }
    zip_error_fini(&ze);
    if (!zip_)
        return Fail(error);
    return {};
}

bool ZipPackage::contains(const std::string& name) const {
    return zip_ && zip_name_locate(zip_, name.c_str(), 0) >= 0;
}

Result<> ZipPackage::stream(const std::string& name, uint64_t limit, const Sink& sink) const {
    const auto fail = [](const std::string& why) { return Fail(QString::fromStdString(why)); };
    zip_stat_t st;
    if (!zip_ || zip_stat(zip_, name.c_str(), 0, &st) != 0)
        return fail("the part " + name + " is missing");
    const uint64_t compressed = (st.valid & ZIP_STAT_COMP_SIZE) ? st.comp_size : 0;
    if (!(st.valid & ZIP_STAT_SIZE) || st.size > limit)
        return fail("the part " + name + " inflates to " + std::to_string(st.size) +
                    " bytes, more than the " + std::to_string(limit) + " the service takes");
    if (st.size > limits::PartRatio * std::max<uint64_t>(compressed, 1))
        return fail("the part " + name + " inflates to " + std::to_string(st.size) +
                    " bytes from " + std::to_string(compressed) + ", more than " +
                    std::to_string(limits::PartRatio) + " times its compressed size");
    // Deflated parts, nearly all, inflate with ISA-L (several times zlib's speed, a million-row
    // sheet is hundreds of MiB); anything else is libzip's.
    const bool deflated =
        (st.valid & ZIP_STAT_COMP_METHOD) && st.comp_method == ZIP_CM_DEFLATE &&
        (st.valid & ZIP_STAT_CRC) &&
        (!(st.valid & ZIP_STAT_ENCRYPTION_METHOD) || st.encryption_method == ZIP_EM_NONE);
    zip_file_t* f = zip_fopen_index(zip_, st.index, deflated ? ZIP_FL_COMPRESSED : 0);
    if (!f)
        return fail("the part " + name + " cannot be read: " + zip_strerror(zip_));
    const auto close = qScopeGuard([f] { zip_fclose(f); });
    std::unique_ptr<char[]> chunk(new char[StreamChunk]);
    uint64_t total = 0;
    // Hands on what came out; why not when it is more than the part declares.
    const auto take = [&](const char* data, size_t n) -> Result<> {
        total += n;
        // The declared size is the zip's word only: inflating goes no further.
        if (total > st.size)
            return fail("the part " + name + " inflates beyond its declared " +
                        std::to_string(st.size) + " bytes");
        if (n > 0 && !sink(data, n))
            return Fail(QString());
        return {};
    };
    const auto unreadable = [&](const char* why) {
        return fail("the part " + name + " cannot be read: " + why);
    };
    if (deflated) {
        auto state = std::make_unique<inflate_state>();
        isal_inflate_init(state.get());
        state->crc_flag = ISAL_GZIP_NO_HDR; // the CRC-32 of the output, as the zip keeps it
        std::unique_ptr<char[]> in(new char[StreamChunk]);
        bool inputEnded = false;
        while (state->block_state != ISAL_BLOCK_FINISH) {
            if (state->avail_in == 0 && !inputEnded) {
                const zip_int64_t n = zip_fread(f, in.get(), StreamChunk);
                if (n < 0)
                    return unreadable(zip_file_strerror(f));
                inputEnded = n == 0;
                state->next_in = reinterpret_cast<uint8_t*>(in.get());
                state->avail_in = uint32_t(n);
            }
            state->next_out = reinterpret_cast<uint8_t*>(chunk.get());
            state->avail_out = uint32_t(StreamChunk);
            if (isal_inflate(state.get()) != ISAL_DECOMP_OK)
                return unreadable("its compressed data is damaged");
            const size_t n = StreamChunk - state->avail_out;
            if (Result<> taken = take(chunk.get(), n); !taken)
                return taken;
            if (n == 0 && state->avail_in == 0 && inputEnded &&
                state->block_state != ISAL_BLOCK_FINISH)
                break; // the compressed data ends before the stream does
        }
        if (state->block_state == ISAL_BLOCK_FINISH && total == st.size && state->crc != st.crc)
            return unreadable("CRC error");
    } else {
        for (;;) {
            const zip_int64_t n = zip_fread(f, chunk.get(), StreamChunk);
            if (n < 0)
                return unreadable(zip_file_strerror(f));
            if (Result<> taken = take(chunk.get(), size_t(n)); !taken)
                return taken;
            if (n == 0)
                break;
        }
    }
    if (total != st.size)
        return fail("the part " + name + " is cut short");
    return {};
}

Result<std::string> ZipPackage::read(const std::string& name) const {
    std::string out;
    const Result<> read =
        stream(name, limits::WholePartBytes, [&out](const char* data, size_t size) {
            out.append(data, size);
            return true;
        });
    if (!read)
        return tl::unexpected(read.error());
    return out;
}

std::vector<std::string> ZipPackage::names() const {
    std::vector<std::string> out;
    const zip_int64_t count = zip_ ? zip_get_num_entries(zip_, 0) : 0;
    for (zip_int64_t i = 0; i < count; ++i)
        if (const char* name = zip_get_name(zip_, zip_uint64_t(i), 0))
            out.emplace_back(name);
    return out;
}

PartProducer ZipPackage::FromText(const std::string& text) {
    auto at = std::make_shared<size_t>(0);
    return [at, &text](char* out, size_t max) {
        const size_t n = std::min(max, text.size() - *at);
        std::memcpy(out, text.data() + *at, n);
        *at += n;
        return n;
    };
}

Result<> ZipPackage::copyCompressed(const std::string& name, ZipWriter& out) const {
    const QString part = QString::fromStdString(name);
    zip_stat_t st;
    if (zip_stat(zip_, name.c_str(), 0, &st) != 0 ||
        (st.valid & ZIP_STAT_ENCRYPTION_METHOD && st.encryption_method != ZIP_EM_NONE))
        return Fail(QStringLiteral("the part %1 cannot be copied").arg(part));
    ZipWriter::Entry e;
    e.name = name;
    e.method = uint16_t(st.comp_method);
    e.crc = st.crc;
    e.compressedSize = st.comp_size;
    e.size = st.size;
    e.mtime = st.mtime;
    return out.addCompressed(e, [&](const ZipWriter::Sink& sink) -> Result<> {
        const auto unreadable = [&] {
            return Fail(QStringLiteral("the part %1 cannot be read").arg(part));
        };
        zip_file_t* f = zip_fopen_index(zip_, st.index, ZIP_FL_COMPRESSED);
        if (!f)
            return unreadable();
        const auto close = qScopeGuard([f] { zip_fclose(f); });
        std::unique_ptr<char[]> chunk(new char[StreamChunk]);
        for (;;) {
            const zip_int64_t n = zip_fread(f, chunk.get(), StreamChunk);
            if (n < 0)
                return unreadable();
            if (n == 0)
                return {};
            if (Result<> taken = sink(chunk.get(), size_t(n)); !taken)
                return taken;
        }
    });
}

Result<> ZipPackage::save(const QString& path, const std::vector<SavedPart>& parts) const {
    auto fail = [&](const QString& why) -> Result<> {
        return Fail(QStringLiteral("cannot write %1: %2").arg(path, why));
    };
    // A pipe or a device in the file's place would stall the save or swallow the workbook.
    const QFileInfo info(path);
    if (info.exists() && !info.isFile())
        return fail(QStringLiteral("it is not a regular file"));
    ReplacingFile::RemoveStaleTemps(path);

    // Written straight into the new file beside the old one, renamed over it when complete.
    ReplacingFile file(path);
    if (Result<> opened = file.Open(); !opened)
        return fail(opened.error().text);
    ZipWriter zip([&file](const char* data, size_t size) {
        return file.Write(QByteArray::fromRawData(data, qsizetype(size)));
    });
    PartDeflater deflater;
    for (const SavedPart& part : parts)
        if (Result<> added = part.produce ? zip.addDeflated(part.name, part.produce, deflater)
                                          : copyCompressed(part.name, zip);
            !added)
            return fail(added.error().text);
    if (Result<> finished = zip.finish(); !finished)
        return fail(finished.error().text);
    if (Result<> committed = file.Commit(); !committed)
        return fail(committed.error().text);
    return {};
}

} // namespace sheets
