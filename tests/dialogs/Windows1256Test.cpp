// The Arabic cancel word and the whole Windows-1256 table, checked against the C library's own
// converter.
#include "dialogs/Windows1256.h"

#include <gtest/gtest.h>

#include <iconv.h>

#include <array>
#include <cstring>

namespace {

// One byte through iconv; nullopt where the converter is not installed.
std::optional<char32_t> IconvDecode(iconv_t cd, unsigned char byte) {
    char in[1] = {static_cast<char>(byte)};
    char32_t out[2] = {};
    char* inPtr = in;
    size_t inLeft = 1;
    char* outPtr = reinterpret_cast<char*>(out);
    size_t outLeft = sizeof(out);
    if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1))
        return std::nullopt;
    return out[0];
}

TEST(Windows1256, DecodesTheArabicCancelWord) {
    const QString word = DecodeWindows1256("\xC7\xE1\xDB\xC7\xC1");
    // alef, lam, ghain, alef, hamza
    EXPECT_EQ(word, QString::fromUtf16(u"\u0627\u0644\u063A\u0627\u0621"));
    EXPECT_EQ(word.size(), 5);
}

TEST(Windows1256, AsciiPassesAndEveryByteDecodesToOneCharacter) {
    EXPECT_EQ(DecodeWindows1256("&OK \x7F"), QStringLiteral("&OK \x7F"));
    EXPECT_TRUE(DecodeWindows1256(QByteArrayView()).isEmpty());
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(static_cast<char>(b));
    const QString text = DecodeWindows1256(all);
    ASSERT_EQ(text.size(), 256);
    EXPECT_EQ(text.at(0), QChar(u'\0'));
    EXPECT_EQ(text.at(0x80), QChar(u'\u20AC')); // euro sign
    EXPECT_EQ(text.at(0xFF), QChar(u'\u06D2')); // yeh barree
}

TEST(Windows1256, UpperHalfMatchesTheSystemConverter) {
    iconv_t cd = iconv_open("UTF-32LE", "CP1256");
    if (cd == reinterpret_cast<iconv_t>(-1))
        GTEST_SKIP() << "no CP1256 converter on this system";
    for (int b = 0x80; b < 0x100; ++b) {
        const auto expected = IconvDecode(cd, static_cast<unsigned char>(b));
        ASSERT_TRUE(expected.has_value()) << "byte " << b;
        const QString got = DecodeWindows1256(QByteArray(1, static_cast<char>(b)));
        ASSERT_EQ(got.size(), 1);
        EXPECT_EQ(static_cast<char32_t>(got.at(0).unicode()), *expected) << "byte " << b;
    }
    iconv_close(cd);
}

} // namespace
