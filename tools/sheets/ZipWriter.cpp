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

} // namespace

bool ZipWriter::fail(std::string why) {
    error_ = std::move(why);
    return false;
}

bool ZipWriter::write(const char* data, size_t size) {
    if (!sinkFailed_ && !sink_(data, size))
        sinkFailed_ = true;
    return !sinkFailed_;
}

bool ZipWriter::flush() {
    const bool ok = buffer_.empty() || write(buffer_.data(), buffer_.size());
    buffer_.clear();
    return ok;
}

bool ZipWriter::put(const char* data, size_t size) {
    offset_ += size;
    if (buffer_.size() + size <= BufferBytes) {
        buffer_.append(data, size);
        return true;
    }
    return flush() && write(data, size);
}

bool ZipWriter::putLocalHeader(const Entry& e, uint16_t flags) {
    std::string h;
    Put<uint32_t>(h, LocalSignature);
    PutCommon(h, e, flags, !(flags & HasDescriptor));
    h += e.name;
    return put(h.data(), h.size()) && flush();
}

bool ZipWriter::addCompressed(const Entry& e, const std::function<bool(const Sink&)>& copy) {
    if (e.name.size() > 0xFFFF || e.compressedSize >= Max32 || e.size >= Max32 || offset_ >= Max32)
        return fail("the part " + e.name + " would need a 64-bit zip");
    const uint16_t flags = NameFlags(e.name);
    central_.push_back({e, flags, offset_});
    if (!putLocalHeader(e, flags))
        return false;
    uint64_t copied = 0;
    const bool ok = copy([this, &copied](const char* data, size_t size) {
        copied += size;
        return put(data, size);
    });
    if (sinkFailed_)
        return false;
    if (!ok)
        return fail("the part " + e.name + " cannot be read");
    return copied == e.compressedSize || fail("the part " + e.name + " changed its size");
}

bool ZipWriter::addDeflated(const std::string& name, const PartProducer& produce,
                            PartDeflater& deflater) {
    if (name.size() > 0xFFFF || offset_ >= Max32)
        return fail("the part " + name + " would need a 64-bit zip");
    Entry e;
    e.name = name;
    e.mtime = std::time(nullptr);
    const uint16_t flags = NameFlags(name) | HasDescriptor;
    const uint64_t offset = offset_;
    if (!putLocalHeader(e, flags))
        return false;
    DeflatedPart d;
    std::string why;
    const auto sink = [this](const char* data, size_t size) { return put(data, size); };
    if (!deflater.deflate(produce, sink, d, why))
        return sinkFailed_ ? false : fail(why);
    if (d.size >= Max32 || d.compressedSize >= Max32)
        return fail("the part " + name + " would need a 64-bit zip");
    e.crc = d.crc;
    e.size = d.size;
    e.compressedSize = d.compressedSize;
    std::string descriptor;
    Put<uint32_t>(descriptor, DescriptorSignature);
    Put<uint32_t>(descriptor, e.crc);
    Put<uint32_t>(descriptor, uint32_t(e.compressedSize));
    Put<uint32_t>(descriptor, uint32_t(e.size));
    central_.push_back({e, flags, offset});
    return put(descriptor.data(), descriptor.size());
}

bool ZipWriter::finish() {
    const uint64_t start = offset_;
    if (central_.size() > 0xFFFF || start >= Max32)
        return fail("the workbook would need a 64-bit zip");
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
        if (!put(h.data(), h.size()))
            return false;
    }
    if (offset_ - start >= Max32)
        return fail("the workbook would need a 64-bit zip");
    std::string end;
    Put<uint32_t>(end, EndSignature);
    Put<uint16_t>(end, 0);
    Put<uint16_t>(end, 0);
    Put<uint16_t>(end, uint16_t(central_.size()));
    Put<uint16_t>(end, uint16_t(central_.size()));
    Put<uint32_t>(end, uint32_t(offset_ - start));
    Put<uint32_t>(end, uint32_t(start));
    Put<uint16_t>(end, 0);
    return put(end.data(), end.size()) && flush();
}

} // namespace sheets
