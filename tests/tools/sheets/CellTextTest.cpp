// Typed texts become numbers, formulas or strings as a spreadsheet makes them, and every text
// survives the trip through the package's XML exactly.
#include <charconv>
#include <cmath>
#include <gtest/gtest.h>
#include <pugixml.hpp>
#include <random>

#include "CellText.h"
#include "base/DecimalText.h"

using namespace sheets;

TEST(CellText, ClassifiesLikeTypedText) {
    struct Case {
        const char* text;
        const char* sep;
        bool asText;
        CellKind kind;
        const char* payload;
    } cases[] = {
        {"12", ".", false, CellKind::Number, "12"},
        {"-7", ".", false, CellKind::Number, "-7"},
        {"+007", ".", false, CellKind::Number, "7"},
        {"1.5", ",", false, CellKind::Number, "1.5"},
        {"1,5", ",", false, CellKind::Number, "1.5"},
        {"1,5", ".", false, CellKind::String, "1,5"},
        {"2\xD9\xAB"
         "5",
         "\xD9\xAB", false, CellKind::Number, "2.5"}, // Arabic separator
        {"1e3", ".", false, CellKind::Number, "1000"},
        {"1e999", ".", false, CellKind::String, "1e999"},
        {"46000.00001157407", ".", false, CellKind::Number, "46000.00001157407"},
        {"0.10000000000000001", ".", false, CellKind::Number, "0.10000000000000001"}, // as 0.1
        {"0.0005", ".", false, CellKind::Number, "5e-04"},
        {"-.50", ",", false, CellKind::Number, "-0.5"},
        {"1.", ".", false, CellKind::Number, "1"},
        {"2e3", "e", false, CellKind::Number, "2.3"}, // a separator of number characters
        {"1e", ".", false, CellKind::String, "1e"},
        {"1-2", ".", false, CellKind::String, "1-2"},
        {"1.2.3", ".", false, CellKind::String, "1.2.3"},
        {"08.12", ".", false, CellKind::Number, "8.12"},
        {"08.12", ".", true, CellKind::String, "08.12"},
        {"12", ".", true, CellKind::String, "12"},
        {" 12", ".", false, CellKind::String, " 12"},
        {"12:30:00", ".", false, CellKind::String, "12:30:00"},
        {"=SUM(A1:A2)", ".", false, CellKind::Formula, "SUM(A1:A2)"},
        {"=SUM(A1:A2)", ".", true, CellKind::String, "=SUM(A1:A2)"},
        {"=", ".", false, CellKind::String, "="},
        {"-", ".", false, CellKind::String, "-"},
        {".", ".", false, CellKind::String, "."},
        {"", ".", false, CellKind::Empty, ""},
    };
    std::string scratch;
    for (const Case& c : cases) {
        const CellValue v = ClassifyCellText(c.text, c.sep, c.asText, scratch);
        EXPECT_EQ(v.kind, c.kind) << c.text;
        EXPECT_EQ(v.payload, c.payload) << c.text;
    }
}

// Texts of number characters, some read in place: each a number exactly when ReadDecimal takes it,
// with its value.
TEST(CellText, NumbersReadInPlaceAsReadDecimalReadsThem) {
    std::mt19937 rng(4711);
    const std::string_view chars = "0123456789.-+eE,";
    std::string text, scratch;
    int numbers = 0;
    for (int round = 0; round < 20000; ++round) {
        text.clear();
        for (int n = int(rng() % 8) + 1; n > 0; --n)
            text += chars[rng() % (round % 2 ? 12 : chars.size())]; // half: mostly digits
        for (const char* sep : {".", ",", "e", ""}) {
            const CellValue v = ClassifyCellText(text, sep, false, scratch);
            const std::optional<double> want = ReadDecimal(text, {".", sep});
            ASSERT_EQ(v.kind == CellKind::Number, want.has_value()) << text << " " << sep;
            if (want) {
                ASSERT_EQ(std::stod(std::string(v.payload)), *want) << text << " " << sep;
                ++numbers;
            }
        }
    }
    EXPECT_GT(numbers, 10000);
}

// A number as the console writes it (the shortest text that reads back as it, in fixed notation)
// becomes the cell's payload as the shortest text of its value.
TEST(CellText, ShortestNumbersStayAsTheyAre) {
    std::mt19937_64 rng(99);
    std::string scratch;
    for (int round = 0; round < 20000; ++round) {
        const double v = double(int64_t(rng() % 2000001) - 1000000) *
                         std::pow(10.0, double(int(rng() % 24) - 12)) / double(rng() % 997 + 1);
        char fixed[400], shortest[64];
        const std::string_view text(
            fixed, std::to_chars(fixed, fixed + sizeof fixed, v, std::chars_format::fixed).ptr);
        const std::string_view want(shortest,
                                    std::to_chars(shortest, shortest + sizeof shortest, v).ptr);
        if (text.find('.') == std::string_view::npos) // whole numbers are kept as they come
            continue;
        ASSERT_EQ(ClassifyCellText(text, ",", false, scratch).payload, want) << text;
    }
}

TEST(CellText, EscapedTextReadsBackExactly) {
    const std::string texts[] = {
        "a & b < c > d \"q\" 'a'",
        "tab\there\r\nCR LF\rCR alone\nLF",
        "_x0041_ stays literal, _x00_ too",
        std::string("ctl\x01\x1f end", 10),
        "\xC5\x99\xC3\xAD\xD0\x96\xE4\xB8\xAD \xF0\x9F\x98\x80", // ří Ж 中 and an emoji
        "\xEF\xBF\xBE",                                          // U+FFFE, not allowed in XML
    };
    for (const std::string& t : texts) {
        std::string xml = "<t>";
        AppendXml(xml, t, XmlEscape::CellText);
        xml += "</t>";
        pugi::xml_document doc;
        ASSERT_TRUE(doc.load_buffer(xml.data(), xml.size())) << xml;
        EXPECT_EQ(DecodeUnderscoreEscapes(doc.child("t").text().get()), t) << xml;
    }
}
