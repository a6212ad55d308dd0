#include "ZipPackage.h"

#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <algorithm>
#include <cstring>
#include <ctime>
#include <memory>

#include "ServiceLimits.h"
#include "base/ReplacingFile.h"

namespace sheets {

namespace {

constexpr size_t StreamChunk = 256u << 10;

QString ZipErrorText(zip_error_t* e) {
    return QString::fromLocal8Bit(zip_error_strerror(e));
}

// libzip source over a Replacement: no size known ahead, read once from the start.
struct StreamSource {
    const ZipPackage::Replacement* r;
    zip_error_t error;
};

zip_int64_t StreamCallback(void* state, void* data, zip_uint64_t len, zip_source_cmd_t cmd) {
    auto* s = static_cast<StreamSource*>(state);
    switch (cmd) {
    case ZIP_SOURCE_OPEN:
        s->r->restart();
        return 0;
    case ZIP_SOURCE_READ:
        return zip_int64_t(s->r->produce(static_cast<char*>(data), size_t(len)));
    case ZIP_SOURCE_CLOSE:
        return 0;
    case ZIP_SOURCE_STAT: {
        auto* st = static_cast<zip_stat_t*>(data);
        zip_stat_init(st);
        st->mtime = time(nullptr);
        st->valid |= ZIP_STAT_MTIME;
        return sizeof(*st);
    }
    case ZIP_SOURCE_ERROR:
        return zip_error_to_data(&s->error, data, len);
    case ZIP_SOURCE_FREE:
        zip_error_fini(&s->error);
        delete s;
        return 0;
    case ZIP_SOURCE_SUPPORTS:
        return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE,
                                              ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE,
                                              -1);
    default:
        zip_error_set(&s->error, ZIP_ER_INVAL, 0);
        return -1;
    }
}

} // namespace

ZipPackage::~ZipPackage() {
    if (zip_)
        zip_discard(zip_);
}

bool ZipPackage::open(QByteArray bytes, QString& error) {
    bytes_ = std::move(bytes);
    zip_error_t ze;
    zip_error_init(&ze);
    zip_source_t* src =
        zip_source_buffer_create(bytes_.constData(), zip_uint64_t(bytes_.size()), 0, &ze);
    if (src)
        zip_ = zip_open_from_source(src, ZIP_RDONLY | ZIP_CHECKCONS, &ze);
    if (!zip_) {
        error = QStringLiteral("not a workbook file (%1)").arg(ZipErrorText(&ze));
        if (src)
            zip_source_free(src);
    }
    zip_error_fini(&ze);
    return zip_ != nullptr;
}

bool ZipPackage::contains(const std::string& name) const {
    return zip_ && zip_name_locate(zip_, name.c_str(), 0) >= 0;
}

bool ZipPackage::stream(const std::string& name, uint64_t limit, const Sink& sink,
                        std::string& error) const {
    zip_stat_t st;
    if (!zip_ || zip_stat(zip_, name.c_str(), 0, &st) != 0) {
        error = "the part " + name + " is missing";
        return false;
    }
    const uint64_t compressed = (st.valid & ZIP_STAT_COMP_SIZE) ? st.comp_size : 0;
    if (!(st.valid & ZIP_STAT_SIZE) || st.size > limit) {
        error = "the part " + name + " inflates to " + std::to_string(st.size) +
                " bytes, more than the " + std::to_string(limit) + " the service takes";
        return false;
    }
    if (st.size > limits::PartRatio * std::max<uint64_t>(compressed, 1)) {
        error = "the part " + name + " inflates to " + std::to_string(st.size) + " bytes from " +
                std::to_string(compressed) + ", more than " + std::to_string(limits::PartRatio) +
                " times its compressed size";
        return false;
    }
    zip_file_t* f = zip_fopen_index(zip_, st.index, 0);
    if (!f) {
        error = "the part " + name + " cannot be read: " + zip_strerror(zip_);
        return false;
    }
    std::unique_ptr<char[]> chunk(new char[StreamChunk]);
    uint64_t total = 0;
    bool ok = true;
    for (;;) {
        const zip_int64_t n = zip_fread(f, chunk.get(), StreamChunk);
        if (n < 0) {
            error = "the part " + name + " cannot be read: " + zip_file_strerror(f);
            ok = false;
            break;
        }
        total += uint64_t(n);
        // The declared size is the zip's word only: inflating goes no further.
        if (total > st.size) {
            error = "the part " + name + " inflates beyond its declared " +
                    std::to_string(st.size) + " bytes";
            ok = false;
            break;
        }
        if (n == 0)
            break;
        if (!sink(chunk.get(), size_t(n))) {
            ok = false;
            break;
        }
    }
    zip_fclose(f);
    if (ok && total != st.size) {
        error = "the part " + name + " is cut short";
        ok = false;
    }
    return ok;
}

std::optional<std::string> ZipPackage::read(const std::string& name, std::string* error) const {
    std::string out, why;
    const bool ok = stream(
        name, limits::WholePartBytes,
        [&out](const char* data, size_t size) {
            out.append(data, size);
            return true;
        },
        why);
    if (error)
        *error = why;
    return ok ? std::optional<std::string>(std::move(out)) : std::nullopt;
}

ZipPackage::Replacement ZipPackage::FromText(const std::string& text) {
    auto at = std::make_shared<size_t>(0);
    return {[at] { *at = 0; },
            [at, &text](char* out, size_t max) {
                const size_t n = std::min(max, text.size() - *at);
                std::memcpy(out, text.data() + *at, n);
                *at += n;
                return n;
            }};
}

bool ZipPackage::save(const QString& path, const std::map<std::string, Replacement>& replaced,
                      const std::set<std::string>& dropped, QString& error) const {
    auto fail = [&](const QString& why) {
        error = QStringLiteral("cannot write %1: %2").arg(path, why);
        return false;
    };
    // A pipe or a device in the file's place would stall the save or swallow the workbook.
    const QFileInfo info(path);
    if (info.exists() && !info.isFile())
        return fail(QStringLiteral("it is not a regular file"));
    ReplacingFile::RemoveStaleTemps(path);

    // The new package is made in memory, then written through ReplacingFile: beside the file,
    // renamed over it when complete, with the file's mode and owner, through a symbolic link.
    zip_error_t ze;
    zip_error_init(&ze);
    zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, &ze);
    zip_t* out = buffer ? zip_open_from_source(buffer, ZIP_CREATE | ZIP_TRUNCATE, &ze) : nullptr;
    if (!out) {
        const QString why = ZipErrorText(&ze);
        zip_error_fini(&ze);
        if (buffer)
            zip_source_free(buffer);
        return fail(why);
    }
    zip_error_fini(&ze);
    zip_source_keep(buffer); // for reading it out after zip_close
    const auto freeBuffer = qScopeGuard([buffer] { zip_source_free(buffer); });
    auto discard = [&](const QString& why) {
        zip_discard(out);
        return fail(why);
    };
    const zip_int64_t count = zip_get_num_entries(zip_, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        const char* name = zip_get_name(zip_, zip_uint64_t(i), 0);
        if (!name)
            return discard(ZipErrorText(zip_get_error(zip_)));
        if (dropped.count(name))
            continue;
        zip_source_t* src = nullptr;
        const auto rep = replaced.find(name);
        if (rep != replaced.end()) {
            auto* state = new StreamSource{&rep->second, {}};
            zip_error_init(&state->error);
            src = zip_source_function(out, StreamCallback, state);
            if (!src) {
                delete state;
                return discard(ZipErrorText(zip_get_error(out)));
            }
        } else {
            src = zip_source_zip(out, zip_, zip_uint64_t(i), ZIP_FL_COMPRESSED, 0, -1);
        }
        if (!src)
            return discard(ZipErrorText(zip_get_error(out)));
        const zip_int64_t idx = zip_file_add(out, name, src, ZIP_FL_ENC_GUESS);
        if (idx < 0) {
            zip_source_free(src);
            return discard(ZipErrorText(zip_get_error(out)));
        }
        if (rep != replaced.end())
            zip_set_file_compression(out, zip_uint64_t(idx), ZIP_CM_DEFLATE, 1);
    }
    if (zip_close(out) != 0)
        return discard(ZipErrorText(zip_get_error(out)));

    ReplacingFile file(path);
    if (!file.Open())
        return fail(file.ErrorString());
    if (zip_source_open(buffer) != 0)
        return fail(ZipErrorText(zip_source_error(buffer)));
    std::unique_ptr<char[]> chunk(new char[StreamChunk]);
    QString readError;
    bool written = true;
    for (;;) {
        const zip_int64_t n = zip_source_read(buffer, chunk.get(), StreamChunk);
        if (n < 0)
            readError = ZipErrorText(zip_source_error(buffer));
        if (n <= 0)
            break;
        if (!file.Write(QByteArray::fromRawData(chunk.get(), qsizetype(n)))) {
            written = false;
            break;
        }
    }
    zip_source_close(buffer);
    if (!readError.isEmpty())
        return fail(readError); // the temporary file goes with `file`
    return (written && file.Commit()) || fail(file.ErrorString());
}

} // namespace sheets
