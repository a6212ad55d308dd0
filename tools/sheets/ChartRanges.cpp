#include "ChartRanges.h"

#include <QString>
#include <algorithm>
#include <memory>
#include <set>
#include <string>

#include "CellAddress.h"
#include "CellText.h"
#include "PackageParts.h"
#include "XmlParser.h"

namespace sheets {

namespace {

constexpr std::string_view ChartNs = "http://schemas.openxmlformats.org/drawingml/2006/chart";
constexpr const char* Declaration =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";

bool EndsWith(std::string_view s, std::string_view tail) {
    return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}

// One corner of a range: "$E$3", "E3", ...
struct Corner {
    CellRef cell;
    bool absCol = false;
    bool absRow = false;
};

std::optional<Corner> ParseCorner(std::string_view t) {
    Corner c;
    std::string plain;
    for (size_t i = 0; i < t.size(); ++i) {
        if (t[i] != '$') {
            plain += t[i];
            continue;
        }
        // Before the column letters, or between them and the row digits.
        if (i == 0)
            c.absCol = true;
        else if (!plain.empty() && plain.back() >= 'A' && plain.back() <= 'Z' && i + 1 < t.size() &&
                 t[i + 1] >= '0' && t[i + 1] <= '9' && !c.absRow)
            c.absRow = true;
        else
            return std::nullopt;
    }
    const std::optional<CellRef> cell = ParseA1(plain);
    if (!cell)
        return std::nullopt;
    c.cell = *cell;
    return c;
}

void AppendCorner(std::string& out, const Corner& c) {
    if (c.absCol)
        out += '$';
    AppendColumnName(out, c.cell.col);
    if (c.absRow)
        out += '$';
    out += std::to_string(c.cell.row);
}

// A reference to one range of one sheet: "'Channel 1'!$E$3:$E$10", "Sheet1!A3".
struct Reference {
    std::string sheet;     // unquoted
    std::string_view head; // the text before the range, "!" included, as written
    Corner first, last;
    bool single = false; // one cell, no ":"
};

std::optional<Reference> ParseReference(std::string_view f) {
    Reference r;
    size_t at = 0;
    if (f.starts_with('\'')) {
        // Quoted, a quote doubled inside.
        for (at = 1; at < f.size(); ++at) {
            if (f[at] != '\'') {
                r.sheet += f[at];
            } else if (at + 1 < f.size() && f[at + 1] == '\'') {
                r.sheet += '\'';
                ++at;
            } else {
                break;
            }
        }
        if (at >= f.size() || at + 1 >= f.size() || f[at + 1] != '!')
            return std::nullopt;
        at += 2;
    } else {
        const size_t bang = f.find('!');
        if (bang == std::string_view::npos || bang == 0)
            return std::nullopt;
        r.sheet = std::string(f.substr(0, bang));
        // Unions, functions and other files are not a plain sheet name.
        if (r.sheet.find_first_of("'()[],: ") != std::string::npos)
            return std::nullopt;
        at = bang + 1;
    }
    r.head = f.substr(0, at);
    const std::string_view area = f.substr(at);
    const size_t colon = area.find(':');
    const auto first = ParseCorner(area.substr(0, colon));
    const auto last = colon == std::string_view::npos ? first : ParseCorner(area.substr(colon + 1));
    if (!first || !last)
        return std::nullopt;
    r.first = *first;
    r.last = *last;
    r.single = colon == std::string_view::npos;
    return r;
}

// The chart written out again as it is read; what SplitName gives back as prefix and local name
// is written as it stood.
class ChartFitter : private XmlParser {
public:
    explicit ChartFitter(const FilledRows& filled) : filled_(filled) {}

    Result<std::optional<std::string>> Run(std::string_view xml) {
        out_ = Declaration;
        if (!feed(xml.data(), xml.size(), true))
            return Fail(QString::fromStdString(error()));
        if (!changed_)
            return std::optional<std::string>();
        return std::optional<std::string>(std::move(out_));
    }

private:
    struct Frame {
        bool reference = false; // numRef, strRef or multiLvlStrRef
        bool written = false;   // its range lies on a written sheet
    };
    const FilledRows& filled_;
    std::string out_;
    bool changed_ = false;
    bool justOpened_ = false;
    Namespaces namespaces_;
    std::vector<Frame> frames_;
    size_t skipFrom_ = 0; // depth of a dropped cache, 0 for none
    bool inFormula_ = false;
    std::string formula_;

    void startNamespace(const char* prefix, const char* uri) override {
        namespaces_.emplace_back(prefix ? prefix : "", uri ? uri : "");
    }

    void startElement(const char* name, const char** atts) override {
        const QName n = SplitName(name);
        const bool chart = n.uri == ChartNs;
        const Frame parent = frames_.empty() ? Frame{} : frames_.back();
        frames_.push_back({});
        if (skipFrom_ != 0) {
            namespaces_.clear();
            return;
        }
        if (chart && parent.reference && parent.written &&
            (n.local == "numCache" || n.local == "strCache" || n.local == "multiLvlStrCache")) {
            skipFrom_ = frames_.size();
            changed_ = true;
            namespaces_.clear();
            return;
        }
        if (inFormula_) { // markup inside a formula: not one to fit
            AppendXml(out_, formula_, XmlEscape::Text);
            inFormula_ = false;
        }
        frames_.back().reference =
            chart && (n.local == "numRef" || n.local == "strRef" || n.local == "multiLvlStrRef");
        inFormula_ = chart && n.local == "f" && parent.reference;
        formula_.clear();
        out_ += '<';
        AppendQName(out_, n);
        AppendNamespaces(out_, namespaces_);
        namespaces_.clear();
        for (size_t i = 0; atts[i]; i += 2)
            AppendAttribute(out_, SplitName(atts[i]), atts[i + 1]);
        out_ += '>';
        justOpened_ = true;
    }

    void characters(std::string_view text) override {
        if (skipFrom_ != 0)
            return;
        if (inFormula_) {
            formula_ += text;
            return;
        }
        AppendXml(out_, text, XmlEscape::Text);
        justOpened_ = false;
    }

    void endElement(const char* name) override {
        const size_t depth = frames_.size();
        frames_.pop_back();
        if (skipFrom_ != 0) {
            if (depth == skipFrom_)
                skipFrom_ = 0;
            return;
        }
        if (inFormula_) {
            inFormula_ = false;
            const std::string fitted = Fit(formula_, frames_.back());
            changed_ = changed_ || fitted != formula_;
            if (!fitted.empty()) {
                AppendXml(out_, fitted, XmlEscape::Text);
                justOpened_ = false;
            }
        }
        if (justOpened_) {
            out_.back() = '/';
            out_ += '>';
        } else {
            out_ += "</";
            AppendQName(out_, SplitName(name));
            out_ += '>';
        }
        justOpened_ = false;
    }

    // The formula with its range fitted; notes in `ref` whether it lies on a written sheet.
    std::string Fit(const std::string& formula, Frame& ref) {
        std::optional<Reference> r = ParseReference(formula);
        if (!r)
            return formula;
        const auto last = filled_(r->sheet, r->first.cell.col);
        if (!last)
            return formula;
        ref.written = true;
        if (r->single || r->first.cell.col != r->last.cell.col ||
            r->first.cell.row > r->last.cell.row)
            return formula;
        r->last.cell.row = std::max(r->first.cell.row, *last);
        std::string out(r->head);
        AppendCorner(out, r->first);
        out += ':';
        AppendCorner(out, r->last);
        return out;
    }
};

std::vector<std::string> Targets(const ZipPackage& zip, const std::string& part,
                                 std::string_view type) {
    std::vector<std::string> out;
    for (const auto& [t, target] :
         Relationships(zip, part).value_or(std::vector<std::pair<std::string, std::string>>()))
        if (EndsWith(t, type))
            out.push_back(target);
    return out;
}

} // namespace

Result<std::optional<std::string>> FitChartRanges(std::string_view chartXml,
                                                  const FilledRows& filled) {
    return ChartFitter(filled).Run(chartXml);
}

uint32_t LastFilledRow(const SheetRows& rows, uint32_t col) {
    RowCells cells;
    const std::vector<SheetRows::Entry>& entries = rows.entries();
    for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
        rows.decode(*it, cells);
        for (const Cell& c : cells.cells) {
            if (c.col != col)
                continue;
            // A cell kept from the file holds a value when it has anything inside.
            const bool value =
                c.kind == CellKind::Raw ? !c.payload.empty() : c.kind != CellKind::Empty;
            if (value)
                return it->row;
            break;
        }
    }
    return 0;
}

std::map<std::string, std::string> FitCharts(const ZipPackage& zip,
                                             const std::vector<BookSheet>& sheets) {
    std::map<std::string, std::string> fittedCharts;
    if (std::none_of(sheets.begin(), sheets.end(), [](const BookSheet& s) { return s.written; }))
        return fittedCharts;
    std::set<std::string> charts;
    for (const BookSheet& s : sheets)
        for (const std::string& drawing : Targets(zip, s.part, "/drawing"))
            for (const std::string& chart : Targets(zip, drawing, "/chart"))
                charts.insert(chart);
    // Each column looked up once, however many series read it.
    std::map<std::pair<const BookSheet*, uint32_t>, uint32_t> lastRows;
    const FilledRows filled = [&](std::string_view name, uint32_t col) -> std::optional<uint32_t> {
        const QString wanted = QString::fromUtf8(name.data(), qsizetype(name.size()));
        for (const BookSheet& s : sheets) {
            if (!s.written || wanted.compare(QString::fromStdString(s.name), Qt::CaseInsensitive))
                continue;
            const auto [it, added] = lastRows.try_emplace({&s, col}, 0);
            if (added)
                it->second = LastFilledRow(*s.rows, col);
            return it->second;
        }
        return std::nullopt;
    };
    for (const std::string& chart : charts) {
        const Result<std::string> xml = zip.read(chart);
        if (!xml)
            continue;
        if (Result<std::optional<std::string>> fitted = FitChartRanges(*xml, filled);
            fitted && *fitted)
            fittedCharts[chart] = std::move(**fitted);
    }
    return fittedCharts;
}

} // namespace sheets
