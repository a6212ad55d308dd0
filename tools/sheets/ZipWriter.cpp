#include "ZipWriter.h"

#include <QtEndian>
#include <algorithm>

namespace sheets {

namespace {

constexpr uint32_t LocalSignature = 0x04034b50;
constexpr uint32_t DescriptorSignature = 0x08074b50;
constexpr uint32_t CentralSignature = 0x02014b50;
constexpr uint32_t EndSignature = 0x06054b50;
constexpr uint16_t VersionNeeded = 20;           // deflate
constexpr uint16_t MadeBy = (3 << 8) | 20;       // Unix, with its file modes
constexpr uint32_t RegularFile = 0100644u << 16; // rw-r--r--
constexpr uint16_t HasDescriptor = 1 << 3;       // sizes and CRC after the data
constexpr uint16_t Utf8Name = 1 << 11;
constexpr uint64_t Max32 = 0xFFFFFFFFu;
constexpr size_t BufferBytes = 64u << 10;

template <class T> void Put(std::string& out, T v) {
    char b[sizeof(T)];
    qToLittleEndian<T>(v, b);
    out.append(b, sizeof b);
}

// The MS-DOS time and date of the zip headers, in local time; 1980 at the earliest.
std::pair<uint16_t, uint16_t> DosTime(std::time_t t) {
    std::tm tm{};
    if (!localtime_r(&t, &tm) || tm.tm_year < 80)
        return {0, (1 << 5) | 1};
    return {uint16_t((tm.tm_hour << 11) | (tm.tm_min << 5) | (tm.tm_sec / 2)),
            uint16_t(((tm.tm_year - 80) << 9) | ((tm.tm_mon + 1) << 5) | tm.tm_mday)};
}

uint16_t NameFlags(const std::string& name) {
    return std::all_of(name.begin(), name.end(), [](char c) { return uint8_t(c) < 0x80; })
               ? 0
               : Utf8Name;
}

// The fields the local header and the central directory share, from "version needed" on.
void PutCommon(std::string& out, const ZipWriter::Entry& e, uint16_t flags, bool sizes) {
    const auto [time, date] = DosTime(e.mtime);
    Put<uint16_t>(out, VersionNeeded);
    Put<uint16_t>(out, flags);
    Put<uint16_t>(out, e.method);
    Put<uint16_t>(out, time);
    Put<uint16_t>(out, date);
    Put<uint32_t>(out, sizes ? e.crc : 0);
    Put<uint32_t>(out, sizes ? uint32_t(e.compressedSize) : 0);
    Put<uint32_t>(out, sizes ? uint32_t(e.size) : 0);
    Put<uint16_t>(out, uint16_t(e.name.size()));
    Put<uint16_t>(out, 0); // no extra field
}

// Why an archive of a part or of a whole over the 32-bit limits is refused.
tl::unexpected<Error> Needs64(const std::string& what) {
    return Fail(QString::fromStdString(what + " would need a 64-bit zip"));
}

} // namespace

Result<> ZipWriter::flush() {
    if (buffer_.empty())
        return {};
    Result<> written = sink_(buffer_.data(), buffer_.size());
    buffer_.clear();
    return written;
}

Result<> ZipWriter::put(const char* data, size_t size) {
    offset_ += size;
    if (buffer_.size() + size <= BufferBytes) {
        buffer_.append(data, size);
        return {};
    }
    return flush().and_then([&] { return sink_(data, size); });
}

Result<> ZipWriter::putLocalHeader(const Entry& e, uint16_t flags) {
    std::string h;
    Put<uint32_t>(h, LocalSignature);
    PutCommon(h, e, flags, !(flags & HasDescriptor));
    h += e.name;
    return put(h.data(), h.size()).and_then([this] { return flush(); });
}

Result<> ZipWriter::addCompressed(const Entry& e,
                                  const std::function<Result<>(const Sink&)>& copy) {
    if (e.name.size() > 0xFFFF || e.compressedSize >= Max32 || e.size >= Max32 || offset_ >= Max32)
        return Needs64("the part " + e.name);
    const uint16_t flags = NameFlags(e.name);
    central_.push_back({e, flags, offset_});
    if (Result<> header = putLocalHeader(e, flags); !header)
        return header;
    uint64_t copied = 0;
    if (Result<> copiedAll = copy([this, &copied](const char* data, size_t size) {
            copied += size;
            return put(data, size);
        });
        !copiedAll)
        return copiedAll;
    if (copied != e.compressedSize)
        return Fail(QString::fromStdString("the part " + e.name + " changed its size"));
    return {};
}

Result<> ZipWriter::addDeflated(const std::string& name, const PartProducer& produce,
                                PartDeflater& deflater) {
    if (name.size() > 0xFFFF || offset_ >= Max32)
        return Needs64("the part " + name);
    Entry e;
    e.name = name;
    e.mtime = std::time(nullptr);
    const uint16_t flags = NameFlags(name) | HasDescriptor;
    const uint64_t offset = offset_;
    if (Result<> header = putLocalHeader(e, flags); !header)
        return header;
    const Result<DeflatedPart> d = deflater.deflate(
        produce, [this](const char* data, size_t size) { return put(data, size); });
    if (!d)
        return tl::unexpected(d.error());
    if (d->size >= Max32 || d->compressedSize >= Max32)
        return Needs64("the part " + name);
    e.crc = d->crc;
    e.size = d->size;
    e.compressedSize = d->compressedSize;
    std::string descriptor;
    Put<uint32_t>(descriptor, DescriptorSignature);
    Put<uint32_t>(descriptor, e.crc);
    Put<uint32_t>(descriptor, uint32_t(e.compressedSize));
    Put<uint32_t>(descriptor, uint32_t(e.size));
    central_.push_back({e, flags, offset});
    return put(descriptor.data(), descriptor.size());
}

Result<> ZipWriter::finish() {
    const uint64_t start = offset_;
    if (central_.size() > 0xFFFF || start >= Max32)
        return Needs64("the workbook");
    for (const Central& c : central_) {
        std::string h;
        Put<uint32_t>(h, CentralSignature);
        Put<uint16_t>(h, MadeBy);
        PutCommon(h, c.entry, c.flags, true);
        Put<uint16_t>(h, 0); // comment
        Put<uint16_t>(h, 0); // disk
        Put<uint16_t>(h, 0); // internal attributes
        Put<uint32_t>(h, RegularFile);
        Put<uint32_t>(h, uint32_t(c.offset));
        h += c.entry.name;
        if (Result<> written = put(h.data(), h.size()); !written)
            return written;
    }
    if (offset_ - start >= Max32)
        return Needs64("the workbook");
    std::string end;
    Put<uint32_t>(end, EndSignature);
    Put<uint16_t>(end, 0);
    Put<uint16_t>(end, 0);
    Put<uint16_t>(end, uint16_t(central_.size()));
    Put<uint16_t>(end, uint16_t(central_.size()));
    Put<uint32_t>(end, uint32_t(offset_ - start));
    Put<uint32_t>(end, uint32_t(start));
    Put<uint16_t>(end, 0);
    return put(end.data(), end.size()).and_then([this] { return flush(); });
}

} // namespace sheets
