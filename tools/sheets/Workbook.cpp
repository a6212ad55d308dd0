#include "Workbook.h"

#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

#include "ServiceLimits.h"
#include "SheetReader.h"
#include "base/ReplacingFile.h"

namespace sheets {

namespace {

// Cuts text at sep; an empty text gives one empty piece.
void Split(std::string_view text, std::string_view sep, std::vector<std::string_view>& out) {
    out.clear();
    size_t start = 0;
    for (;;) {
        const size_t at = text.find(sep, start);
        if (at == std::string_view::npos) {
            out.push_back(text.substr(start));
            return;
        }
        out.push_back(text.substr(start, at - start));
        start = at + sep.size();
    }
}

// The bytes of a regular file of at most limits::WorkbookFileBytes. Opened without blocking, so
// that a pipe or a device is refused at once instead of waited on or read without end.
bool ReadWorkbookFile(const QString& path, QByteArray& bytes, QString& error) {
    const auto fail = [&](const QString& why) {
        error = QStringLiteral("cannot open %1: %2").arg(path, why);
        return false;
    };
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return fail(QString::fromLocal8Bit(std::strerror(errno)));
    const auto closeFile = qScopeGuard([fd] { ::close(fd); });
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return fail(QString::fromLocal8Bit(std::strerror(errno)));
    if (!S_ISREG(st.st_mode))
        return fail(QStringLiteral("it is not a regular file"));
    if (uint64_t(st.st_size) > limits::WorkbookFileBytes)
        return fail(QStringLiteral("it holds %1 bytes, more than the %2 MiB the service takes")
                        .arg(st.st_size)
                        .arg(limits::WorkbookFileBytes >> 20));
    bytes.resize(qsizetype(st.st_size));
    qsizetype have = 0;
    while (have < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + have, size_t(bytes.size() - have));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return fail(QString::fromLocal8Bit(std::strerror(errno)));
        if (n == 0)
            return fail(QStringLiteral("it was cut short while being read"));
        have += n;
    }
    return true;
}

} // namespace

std::unique_ptr<Workbook> Workbook::open(const QString& path, const QString& decimalSeparator,
                                         QString& error) {
    ReplacingFile::RemoveStaleTemps(path); // what a save killed midway left beside the file
    QByteArray bytes;
    if (!ReadWorkbookFile(path, bytes, error))
        return nullptr;
    // The binary workbooks of Excel 97 to 2003 are compound files, with this signature.
    if (bytes.startsWith(QByteArray::fromHex("d0cf11e0a1b11ae1"))) {
        error = QStringLiteral("cannot open %1: it is a workbook in the old binary format (Excel "
                               "97-2003); save it as .xlsx (Office Open XML) and use that")
                    .arg(path);
        return nullptr;
    }
    auto wb = std::unique_ptr<Workbook>(new Workbook);
    wb->path_ = QFileInfo(path).absoluteFilePath();
    wb->name_ = QFileInfo(path).fileName();
    wb->decimalSeparator_ = decimalSeparator.toStdString();
    if (!wb->zip_.open(std::move(bytes), error))
        return nullptr;
    PackageLayout layout;
    std::string why;
    if (!ReadLayout(wb->zip_, layout, why)) {
        error = QString::fromStdString(why);
        return nullptr;
    }
    wb->calcChain_ = layout.calcChain;
    wb->workbookRels_ = layout.workbookRels;
    // The parts read whole, when the package has them.
    const auto readWhole = [&](const std::string& part, const auto& use) {
        const auto xml = part.empty() ? std::optional<std::string>(std::string())
                                      : ReadXmlPart(wb->zip_, part, why);
        if (xml && !part.empty())
            use(*xml);
        return xml.has_value();
    };
    if (!readWhole(layout.styles,
                   [&](const std::string& xml) { wb->textStyles_ = ReadTextStyles(xml); }) ||
        !readWhole(layout.sharedStrings,
                   [&](const std::string& xml) { wb->sharedStrings_ = ReadSharedStrings(xml); })) {
        error = QString::fromStdString(why);
        return nullptr;
    }
    wb->sheets_.resize(layout.sheets.size());
    for (size_t i = 0; i < layout.sheets.size(); ++i) {
        Sheet& s = wb->sheets_[i];
        s.name = QString::fromStdString(layout.sheets[i].name);
        s.part = layout.sheets[i].part;
        // Streamed from the zip into the row store: a large sheet is never held whole.
        SheetReader reader(s.data);
        const bool read =
            wb->zip_.stream(
                s.part, limits::PartBytes,
                [&reader](const char* data, size_t size) { return reader.read(data, size, false); },
                why) &&
            reader.read(nullptr, 0, true);
        if (!read) {
            if (why.empty())
                why = "the part " + s.part + ": " + reader.error();
            error = QStringLiteral("sheet %1: %2").arg(s.name, QString::fromStdString(why));
            return nullptr;
        }
    }
    return wb;
}

int Workbook::findSheet(QStringView name) const {
    for (size_t i = 0; i < sheets_.size(); ++i)
        if (sheets_[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    return -1;
}

bool Workbook::isText(uint32_t style) const {
    return style > 0 && style - 1 < textStyles_.size() && textStyles_[style - 1];
}

void Workbook::writeRow(Sheet& s, uint32_t row, uint32_t firstCol, uint32_t cols,
                        const std::vector<std::string_view>& texts, RowCells& scratch,
                        std::vector<std::string>& payloads) {
    RowCells old;
    if (const SheetRows::Entry* e = s.data.rows.find(row))
        s.data.rows.decode(*e, old);
    const uint32_t rowStyle = SheetPart::rowStyle(old.attrs);
    scratch.attrs = old.attrs;
    scratch.cells.clear();
    payloads.resize(cols);
    const uint32_t lastCol = firstCol + cols - 1;
    size_t k = 0;
    while (k < old.cells.size() && old.cells[k].col < firstCol)
        scratch.cells.push_back(old.cells[k++]);
    for (uint32_t c = firstCol; c <= lastCol; ++c) {
        const Cell* existing = nullptr;
        if (k < old.cells.size() && old.cells[k].col == c)
            existing = &old.cells[k++];
        const uint32_t style = existing   ? existing->style
                               : rowStyle ? rowStyle
                                          : s.data.columnStyle(c);
        const size_t i = c - firstCol;
        const std::string_view text = i < texts.size() ? texts[i] : std::string_view();
        CellValue v = ClassifyCellText(text, decimalSeparator_, isText(style));
        if (v.kind == CellKind::Empty && (!existing || style == 0))
            continue;
        payloads[i] = std::move(v.payload);
        scratch.cells.push_back({c, v.kind, style, payloads[i]});
    }
    while (k < old.cells.size())
        scratch.cells.push_back(old.cells[k++]);
    s.data.rows.stage(row, scratch);
    s.changed = true;
}

Workbook::PokeWriter::PokeWriter(Workbook& wb, int sheet, CellRange range, std::string_view data)
    : wb_(wb), sheet_(sheet), range_(range), data_(data) {
    if (!QByteArrayView(data_.data(), qsizetype(data_.size())).isValidUtf8()) {
        repaired_ = QString::fromUtf8(data_.data(), qsizetype(data_.size())).toUtf8();
        data_ = std::string_view(repaired_.constData(), size_t(repaired_.size()));
    }
    // Rows end in CR LF; a last row without it counts too. Checked whole before any write.
    if (data_.ends_with("\r\n"))
        data_.remove_suffix(2);
    else if (data_.ends_with('\n'))
        data_.remove_suffix(1);
    rows_ = data_.empty() ? 0 : size_t(std::count(data_.begin(), data_.end(), '\n')) + 1;
    if (rows_ > range.rows()) {
        error_ = QStringLiteral("%1 rows for a range of %2").arg(rows_).arg(range.rows());
        return;
    }
    for (size_t i = 0; i < rows_; ++i) {
        const std::string_view line = nextLine();
        const size_t n = size_t(std::count(line.begin(), line.end(), '\t')) + 1;
        if (n > range.cols()) {
            error_ = QStringLiteral("row %1 has %2 cells for a range of %3 columns")
                         .arg(i + 1)
                         .arg(n)
                         .arg(range.cols());
            return;
        }
    }
    at_ = 0;
}

// A lone LF ends a row too; a lone CR stays in its cell.
std::string_view Workbook::PokeWriter::nextLine() {
    const size_t end = std::min(data_.find('\n', at_), data_.size());
    std::string_view line = data_.substr(at_, end - at_);
    if (end < data_.size() && line.ends_with('\r'))
        line.remove_suffix(1);
    at_ = end + 1;
    return line;
}

bool Workbook::PokeWriter::step(uint32_t maxRows) {
    Sheet& s = wb_.sheets_[size_t(sheet_)];
    const uint32_t until = next_ + std::min(maxRows, range_.rows() - next_);
    for (; next_ < until; ++next_) {
        cells_.clear();
        if (next_ < rows_)
            Split(nextLine(), "\t", cells_);
        wb_.writeRow(s, range_.first.row + next_, range_.first.col, range_.cols(), cells_, scratch_,
                     payloads_);
    }
    if (next_ < range_.rows())
        return false;
    s.data.rows.commit();
    return true;
}

bool Workbook::poke(int sheet, CellRange range, std::string_view data, QString& error) {
    PokeWriter writer(*this, sheet, range, data);
    error = writer.error();
    if (!error.isEmpty())
        return false;
    while (!writer.step(range.rows())) {
    }
    return true;
}

void Workbook::write(int sheet, CellRef cell, QStringView text) {
    Sheet& s = sheets_[size_t(sheet)];
    const std::string utf8 = text.toUtf8().toStdString();
    const std::vector<std::string_view> texts{utf8};
    RowCells scratch;
    std::vector<std::string> payloads;
    writeRow(s, cell.row, cell.col, 1, texts, scratch, payloads);
    s.data.rows.commit();
}

QString Workbook::cellText(int sheet, CellRef cell) const {
    const Sheet& s = sheets_[size_t(sheet)];
    const SheetRows::Entry* e = s.data.rows.find(cell.row);
    if (!e)
        return {};
    RowCells row;
    s.data.rows.decode(*e, row);
    for (const Cell& c : row.cells) {
        if (c.col != cell.col)
            continue;
        switch (c.kind) {
        case CellKind::Empty:
            return {};
        case CellKind::Number: // in the package's notation, as a cell read from the file
        case CellKind::String:
            return QString::fromUtf8(c.payload.data(), qsizetype(c.payload.size()));
        case CellKind::Formula:
            return '=' + QString::fromUtf8(c.payload.data(), qsizetype(c.payload.size()));
        case CellKind::Raw: {
            const size_t zero = c.payload.find('\0');
            const std::string text = RawCellText(
                c.payload.substr(0, zero),
                zero == std::string_view::npos ? std::string_view() : c.payload.substr(zero + 1),
                sharedStrings_);
            return QString::fromStdString(text);
        }
        }
    }
    return {};
}

uint64_t Workbook::cellBytes() const {
    uint64_t n = 0;
    for (const Sheet& s : sheets_)
        n += s.data.rows.bytes();
    return n;
}

std::vector<BookSheet> Workbook::bookSheets() const {
    std::vector<BookSheet> out;
    for (const Sheet& s : sheets_)
        out.push_back({s.name.toStdString(), s.part, &s.data.rows, s.changed});
    return out;
}

bool Workbook::save(QString& error) {
    std::vector<std::unique_ptr<SheetPart::Writer>> writers;
    std::map<std::string, ZipPackage::Replacement> replaced;
    for (const Sheet& s : sheets_) {
        if (!s.changed)
            continue;
        writers.push_back(std::make_unique<SheetPart::Writer>(s.data));
        SheetPart::Writer* w = writers.back().get();
        replaced[s.part] = {[w] { w->restart(); },
                            [w](char* out, size_t max) { return w->read(out, max); }};
    }
    // The charts over written sheets end at their last filled rows.
    FitCharts(zip_, bookSheets(), replaced);
    // Written cells may have held formulas: the chain goes, and Excel makes a new one.
    std::set<std::string> dropped;
    std::string rels, types;
    const std::string typesPart = "[Content_Types].xml";
    if (!replaced.empty() && !calcChain_.empty() && zip_.contains(calcChain_)) {
        dropped.insert(calcChain_);
        if (const auto xml = zip_.read(workbookRels_)) {
            rels = WithoutCalcChainRelationship(*xml);
            replaced[workbookRels_] = ZipPackage::FromText(rels);
        }
        if (const auto xml = zip_.read(typesPart)) {
            types = WithoutContentType(*xml, calcChain_);
            replaced[typesPart] = ZipPackage::FromText(types);
        }
    }
    return zip_.save(path_, replaced, dropped, error);
}

} // namespace sheets
