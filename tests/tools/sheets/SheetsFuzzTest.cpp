// Random and damaged input for the protocol decoder and the workbook reader: they refuse or
// read it, never crash (the sanitizer build checks every access).
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <random>
#include <zip.h>

#include "SheetsTestUtil.h"
#include "Workbook.h"

using namespace sheets;
using namespace sheets::test;

TEST(SheetsFuzz, DecoderTakesAnyBytes) {
    std::mt19937 rng(4711);
    auto rnd = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    int decoded = 0, broken = 0;
    for (int round = 0; round < 3000; ++round) {
        dde::Message m;
        m.kind = dde::MessageKind(rnd(0, 3) == 0 ? rnd(0, 255) : rnd(1, 5));
        m.a = QString(rnd(0, 40), QChar(rnd(32, 0x3000)));
        m.b = QString(rnd(0, 40), QChar(rnd(32, 0x3000)));
        QByteArray bytes = dde::Encode(m) + dde::Encode(m);
        for (int k = rnd(0, 3); k > 0; --k)
            bytes[rnd(0, int(bytes.size()) - 1)] = char(rnd(0, 255));
        if (rnd(0, 3) == 0)
            bytes.truncate(rnd(0, int(bytes.size())));
        dde::Decoder d;
        for (qsizetype at = 0; at < bytes.size();) { // in random slices
            const qsizetype n = std::min<qsizetype>(rnd(1, 9), bytes.size() - at);
            d.feed(bytes.mid(at, n));
            at += n;
            while (auto got = d.next())
                ++decoded;
        }
        broken += d.failed() ? 1 : 0;
    }
    EXPECT_GT(decoded, 1000);
    EXPECT_GT(broken, 100);
}

TEST(SheetsFuzz, ReaderTakesDamagedWorkbooks) {
    QTemporaryDir dir;
    const QByteArray good = ReadAll(TemplatePath());
    ASSERT_FALSE(good.isEmpty());
    // The uncompressed sheet, to damage its XML rather than the zip around it.
    ZipPackage pkg;
    QString error;
    ASSERT_TRUE(pkg.open(good));
    const std::string sheet = *pkg.read("xl/worksheets/sheet2.xml");

    std::mt19937 rng(815);
    auto rnd = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    const QString path = dir.filePath("fuzz.xls");
    int opened = 0, refused = 0;
    for (int round = 0; round < 200; ++round) {
        if (round % 2 == 0) {
            QByteArray bytes = good;
            for (int k = rnd(1, 8); k > 0; --k)
                bytes[rnd(0, int(bytes.size()) - 1)] = char(rnd(0, 255));
            if (rnd(0, 4) == 0)
                bytes.truncate(rnd(0, int(bytes.size())));
            WriteAll(path, bytes);
        } else {
            std::string xml = sheet;
            for (int k = rnd(1, 6); k > 0; --k)
                xml[size_t(rnd(0, int(xml.size()) - 1))] = "<>/\"=&rc 1A\0x"[rnd(0, 13)];
            WriteAll(path, good);
            zip_t* z = zip_open(QFile::encodeName(path).constData(), 0, nullptr);
            ASSERT_TRUE(z);
            zip_file_replace(z, zip_uint64_t(zip_name_locate(z, "xl/worksheets/sheet2.xml", 0)),
                             zip_source_buffer(z, xml.data(), xml.size(), 0), 0);
            ASSERT_EQ(zip_close(z), 0);
        }
        auto wb = OpenWorkbook(path, ".", error);
        if (!wb) {
            ++refused;
            continue;
        }
        ++opened;
        for (int s = 0; s < wb->sheetCount(); ++s)
            wb->cellText(s, {2, uint32_t(rnd(1, 7))});
        wb->write(1, {3, 1}, u"1");
        Ok(wb->save(), error);
    }
    EXPECT_GT(opened, 10);
    EXPECT_GT(refused, 10);
}
