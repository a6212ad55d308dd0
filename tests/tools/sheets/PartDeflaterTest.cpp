// The parts SAVE deflates in chunks on several threads read back as one deflate stream with the
// bytes, the CRC and the sizes of what was made, whatever their size; a failing sink stops the
// part and leaves the deflater fit for the next one.
#include <gtest/gtest.h>

#include <random>
#include <zlib.h>

#include "PartDeflater.h"
#include "ZipPackage.h"

using namespace sheets;

namespace {

std::string Inflate(const std::string& deflated, size_t size) {
    std::string out(size + 1, '\0');
    z_stream z{};
    inflateInit2(&z, -15);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(deflated.data()));
    z.avail_in = uInt(deflated.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = uInt(out.size());
    const int r = inflate(&z, Z_FINISH);
    out.resize(z.total_out);
    const bool whole = r == Z_STREAM_END && z.avail_in == 0;
    inflateEnd(&z);
    return whole ? out : "(not one complete stream)";
}

} // namespace

TEST(PartDeflater, ChunksJoinIntoOneStream) {
    std::mt19937 random(7);
    std::string noise(3u << 20, '\0');
    for (char& c : noise)
        c = char(random());
    std::string rows;
    for (int r = 0; rows.size() < (5u << 20) + 123; ++r)
        rows += "<row r=\"" + std::to_string(r) + "\"><c><v>" + std::to_string(r * 7919) +
                "</v></c></row>";
    const std::string parts[] = {
        "", "x", std::string(1u << 20, 'a'), std::string((1u << 20) + 1, 'b'), rows, noise};
    PartDeflater deflater;
    for (const std::string& part : parts) {
        // Handed out in odd pieces, as a sheet's writer does.
        size_t at = 0;
        const PartProducer produce = [&](char* out, size_t max) {
            const size_t n = std::min({max, part.size() - at, size_t(77777)});
            std::memcpy(out, part.data() + at, n);
            at += n;
            return n;
        };
        std::string deflated;
        const Result<DeflatedPart> d =
            deflater.deflate(produce, [&](const char* data, size_t size) -> Result<> {
                deflated.append(data, size);
                return {};
            });
        ASSERT_TRUE(d) << d.error().text.toStdString();
        EXPECT_EQ(d->size, part.size());
        EXPECT_EQ(d->compressedSize, deflated.size());
        EXPECT_EQ(d->crc, crc32(0, reinterpret_cast<const Bytef*>(part.data()), uInt(part.size())));
        EXPECT_TRUE(Inflate(deflated, part.size()) == part) << part.size() << " bytes";
    }

    // A sink that refuses stops the part; the next part is whole again.
    int pieces = 0;
    const Result<DeflatedPart> refused =
        deflater.deflate(ZipPackage::FromText(rows), [&](const char*, size_t) -> Result<> {
            if (++pieces < 2)
                return {};
            return Fail(QStringLiteral("full"));
        });
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().text, QStringLiteral("full"));
    EXPECT_EQ(pieces, 2);
    std::string again;
    ASSERT_TRUE(deflater.deflate(ZipPackage::FromText(rows),
                                 [&](const char* data, size_t size) -> Result<> {
                                     again.append(data, size);
                                     return {};
                                 }));
    EXPECT_TRUE(Inflate(again, rows.size()) == rows);
}
