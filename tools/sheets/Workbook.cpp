#include "Workbook.h"

#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "ServiceLimits.h"
#include "SheetReader.h"
#include "ShownText.h"
#include "base/LargePages.h"
#include "base/RegularFile.h"
#include "base/ReplacingFile.h"

namespace sheets {

namespace {

// Cuts a row of a poke at its TABs; an empty row gives one empty cell. Cells are short: a
// loop over their bytes beats a search call apiece.
void SplitCells(std::string_view row, std::vector<std::string_view>& out) {
    out.clear();
    size_t start = 0;
    for (size_t i = 0; i < row.size(); ++i) {
        if (row[i] == '\t') {
            out.push_back(row.substr(start, i - start));
            start = i + 1;
        }
    }
    out.push_back(row.substr(start));
}

// TABs in [p, end), eight bytes at a time: a block of a million rows is counted through before
// any of it is written.
size_t CountTabs(const char* p, const char* end) {
    constexpr uint64_t Ones = 0x0101010101010101ull, Low7 = 0x7F7F7F7F7F7F7F7Full;
    size_t n = 0;
    for (; end - p >= 8; p += 8) {
        uint64_t x;
        std::memcpy(&x, p, 8);
        x ^= Ones * uint8_t('\t');
        // The top bit of each byte that is zero (a TAB in p), and no other bit.
        n += size_t(std::popcount(~(((x & Low7) + Low7) | x | Low7)));
    }
    for (; p < end; ++p)
        n += *p == '\t';
    return n;
}

// The bytes of a regular file of at most limits::WorkbookFileBytes: a pipe or a device is refused
// at once instead of waited on or read without end.
Result<QByteArray> ReadWorkbookFile(const QString& path) {
    const auto fail = [&](const QString& why) {
        return Fail(QStringLiteral("cannot open %1: %2").arg(Shown(path), why));
    };
    const RegularFileOpen file = OpenRegularFile(QFile::encodeName(path));
    if (!file.Ok())
        return fail(file.error == 0 || file.error == EISDIR
                        ? QStringLiteral("it is not a regular file")
                        : file.ErrorText());
    const int fd = file.fd;
    const auto closeFile = qScopeGuard([fd] { ::close(fd); });
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return fail(QString::fromLocal8Bit(std::strerror(errno)));
    if (uint64_t(st.st_size) > limits::WorkbookFileBytes)
        return fail(QStringLiteral("it holds %1 bytes, more than the %2 MiB the service takes")
                        .arg(st.st_size)
                        .arg(limits::WorkbookFileBytes >> 20));
    QByteArray bytes;
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
    return bytes;
}

// The bytes, or, where they are not valid UTF-8, their copy in `repaired` with each bad sequence
// replaced as Qt reads it.
std::string_view ValidUtf8(std::string_view bytes, QByteArray& repaired) {
    if (QByteArrayView(bytes.data(), qsizetype(bytes.size())).isValidUtf8())
        return bytes;
    repaired = QString::fromUtf8(bytes.data(), qsizetype(bytes.size())).toUtf8();
    return std::string_view(repaired.constData(), size_t(repaired.size()));
}

// Whether a block of `rows` rows fits the range; wideRow, if not 0, is the first row with more
// cells than the range (wideCells).
Result<> PokeFits(CellRange range, size_t rows, size_t wideRow, size_t wideCells) {
    if (rows > range.rows())
        return Fail(QStringLiteral("%1 rows for a range of %2").arg(rows).arg(range.rows()));
    if (wideRow != 0)
        return Fail(QStringLiteral("row %1 has %2 cells for a range of %3 columns")
                        .arg(wideRow)
                        .arg(wideCells)
                        .arg(range.cols()));
    return {};
}

// Gives the whole 2 MiB stretches of data[from, to) back to the system; from moves to where it
// stopped. A large block lies in large pages: a smaller piece of one would cost the kernel a
// split of the page and give back nothing until all of it goes.
void GiveBackPages(std::string_view data, size_t& from, size_t to) {
    constexpr uintptr_t page = LargePageBytes;
    const uintptr_t start = uintptr_t(data.data());
    const uintptr_t begin = (start + from + page - 1) / page * page;
    const uintptr_t end = (start + std::min(to, data.size())) / page * page;
    if (end <= begin)
        return;
    madvise(reinterpret_cast<void*>(begin), end - begin, MADV_DONTNEED);
    from = end - start;
}

} // namespace

Result<std::unique_ptr<Workbook>> Workbook::open(const QString& path,
                                                 const QString& decimalSeparator) {
    ReplacingFile::RemoveStaleTemps(path); // what a save killed midway left beside the file
    Result<QByteArray> bytes = ReadWorkbookFile(path);
    if (!bytes)
        return tl::unexpected(bytes.error());
    // An Excel 97-2003 workbook is a compound file, not a zip: say what to do with it.
    if (bytes->startsWith(QByteArrayLiteral("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1")))
        return Fail(QStringLiteral("cannot open %1: it is in the old binary Excel format; open it "
                                   "in the spreadsheet program and save it as .xlsx (Excel "
                                   "Workbook)")
                        .arg(Shown(path)));
    auto wb = std::unique_ptr<Workbook>(new Workbook);
    wb->path_ = QFileInfo(path).absoluteFilePath();
    wb->name_ = QFileInfo(path).fileName();
    wb->decimalSeparator_ = decimalSeparator.toStdString();
    if (const Result<> opened = wb->zip_.open(std::move(*bytes)); !opened)
        return tl::unexpected(opened.error());
    const Result<PackageLayout> read = ReadLayout(wb->zip_);
    if (!read)
        return tl::unexpected(read.error());
    const PackageLayout& layout = *read;
    std::string why;
    wb->calcChain_ = layout.calcChain;
    wb->workbookRels_ = layout.workbookRels;
    // The parts read whole, when the package has them.
    const auto readWhole = [&](const std::string& part, const auto& use) {
        if (part.empty())
            return true;
        const Result<std::string> xml = ReadXmlPart(wb->zip_, part);
        if (!xml) {
            why = xml.error().text.toStdString();
            return false;
        }
        use(*xml);
        return true;
    };
    if (!readWhole(layout.styles,
                   [&](const std::string& xml) { wb->textStyles_ = ReadTextStyles(xml); }) ||
        !readWhole(layout.sharedStrings,
                   [&](const std::string& xml) { wb->sharedStrings_ = ReadSharedStrings(xml); }))
        return Fail(QString::fromStdString(why));
    wb->sheets_.resize(layout.sheets.size());
    for (size_t i = 0; i < layout.sheets.size(); ++i) {
        Sheet& s = wb->sheets_[i];
        s.name = QString::fromStdString(layout.sheets[i].name);
        s.part = layout.sheets[i].part;
        // Streamed from the zip into the row store: a large sheet is never held whole.
        const Result<> read = ReadSheet(
            s.data,
            [&](const ByteSink& sink) { return wb->zip_.stream(s.part, limits::PartBytes, sink); },
            "the part " + s.part + ": ");
        if (!read)
            return Fail(QStringLiteral("sheet %1: %2").arg(s.name, read.error().text));
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
                        const std::vector<std::string_view>& texts, RowScratch& rs) {
    s.data.rows.stage(row, rowContent(s, row, firstCol, cols, texts, rs, false));
    s.changed = true;
}

const RowCells& Workbook::rowContent(const Sheet& s, uint32_t row, uint32_t firstCol, uint32_t cols,
                                     const std::vector<std::string_view>& texts, RowScratch& rs,
                                     bool appended) const {
    RowCells& old = rs.old;
    RowCells& scratch = rs.fresh;
    old.attrs = {};
    old.cells.clear();
    if (const SheetRows::Entry* e = appended ? nullptr : s.data.rows.find(row))
        s.data.rows.decode(*e, old);
    const uint32_t rowStyle = SheetPart::rowStyle(old.attrs);
    scratch.attrs = old.attrs;
    scratch.cells.clear();
    rs.numbers.resize(std::max<size_t>(rs.numbers.size(), cols));
    if (rs.columnStyles.size() != cols || rs.stylesFrom != firstCol) {
        rs.columnStyles.resize(cols);
        for (uint32_t i = 0; i < cols; ++i)
            rs.columnStyles[i] = s.data.columnStyle(firstCol + i);
        rs.stylesFrom = firstCol;
    }
    const uint32_t lastCol = firstCol + cols - 1;
    size_t k = 0;
    while (k < old.cells.size() && old.cells[k].col < firstCol)
        scratch.cells.push_back(old.cells[k++]);
    for (uint32_t c = firstCol; c <= lastCol; ++c) {
        const Cell* existing = nullptr;
        if (k < old.cells.size() && old.cells[k].col == c)
            existing = &old.cells[k++];
        const size_t i = c - firstCol;
        const uint32_t style = existing   ? existing->style
                               : rowStyle ? rowStyle
                                          : rs.columnStyles[i];
        const std::string_view text = i < texts.size() ? texts[i] : std::string_view();
        const CellValue v = ClassifyCellText(text, decimalSeparator_, isText(style), rs.numbers[i]);
        if (v.kind == CellKind::Empty && (!existing || style == 0))
            continue;
        scratch.cells.push_back({c, v.kind, style, v.payload, {}});
    }
    while (k < old.cells.size())
        scratch.cells.push_back(old.cells[k++]);
    return scratch;
}

Workbook::PokeWriter::PokeWriter(Workbook& wb, int sheet, CellRange range, std::string_view data)
    : wb_(wb), sheet_(sheet), range_(range), data_(data) {
    data_ = ValidUtf8(data_, repaired_);
    // Rows end in CR LF; a last row without it counts too. Checked whole before any write.
    if (data_.ends_with("\r\n"))
        data_.remove_suffix(2);
    else if (data_.ends_with('\n'))
        data_.remove_suffix(1);
    // The rows, and the first row with more cells than the range.
    size_t wideRow = 0, wideCells = 0;
    for (size_t at = 0; !data_.empty() && at <= data_.size(); ++rows_) {
        const size_t end = std::min(data_.find('\n', at), data_.size());
        const size_t cells = CountTabs(data_.data() + at, data_.data() + end) + 1;
        if (cells > range.cols() && wideRow == 0) {
            wideRow = rows_ + 1;
            wideCells = cells;
        }
        at = end + 1;
    }
    checked_ = PokeFits(range, rows_, wideRow, wideCells);
    if (!checked_)
        return;
    // Room for the rows of data that come after the sheet's last row.
    SheetRows& rows = wb_.sheets_[size_t(sheet_)].data.rows;
    const uint32_t last = std::max(rows.lastRow(), range.first.row - 1);
    if (rows_ > 0 && range.first.row + rows_ - 1 > last)
        rows.reserve(range.first.row + rows_ - 1 - last);
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
            SplitCells(nextLine(), cells_);
        wb_.writeRow(s, range_.first.row + next_, range_.first.col, range_.cols(), cells_,
                     scratch_);
    }
    if (giveBack_)
        GiveBackPages(data_, givenBack_, at_);
    if (next_ < range_.rows())
        return false;
    s.data.rows.commit();
    return true;
}

bool Workbook::PokeStream::Appends(const Workbook& wb, int sheet, CellRange range) {
    return range.first.row > wb.sheets_[size_t(sheet)].data.rows.lastRow();
}

Workbook::PokeStream::PokeStream(Workbook& wb, int sheet, CellRange range, size_t dataBytes)
    : wb_(wb), sheet_(sheet), range_(range), mark_(wb.sheets_[size_t(sheet)].data.rows.mark()),
      changed_(wb.sheets_[size_t(sheet)].changed) {
    // A row takes at least its CR LF.
    wb_.sheets_[size_t(sheet)].data.rows.reserve(std::min<size_t>(range.rows(), dataBytes / 2 + 1));
}

void Workbook::PokeStream::advance(std::string_view arrived) {
    const size_t end = arrived.rfind('\n');
    if (end == std::string_view::npos || end < at_)
        return;
    std::string_view lines = arrived.substr(at_, end + 1 - at_);
    at_ = end + 1;
    // A large piece is made into rows on two threads: the second half's rows are made aside
    // while the first half's are written, then added after them (see Helper).
    const size_t half = lines.size() >= SplitBytes ? lines.find('\n', lines.size() / 2) + 1 : 0;
    if (half == 0 || half == lines.size() || cut_) {
        takeLines(lines);
    } else {
        const std::string_view second = lines.substr(half);
        if (!helper_) {
            helper_ = std::make_unique<Helper>();
            helper_->thread = std::thread([this, &h = *helper_] { help(h); });
        }
        Helper& h = *helper_;
        {
            const std::lock_guard lock(h.mutex);
            h.lines = second;
            h.state = Helper::State::Posted;
        }
        h.posted.notify_one();
        takeLines(lines.substr(0, half));
        bool taken = false;
        {
            std::unique_lock lock(h.mutex);
            taken = h.state != Helper::State::Posted;
            h.done.wait(lock, [&h] { return h.state != Helper::State::Taken; });
            h.state = Helper::State::Idle;
        }
        if (!taken) {
            takeLines(second);
            GiveBackPages(arrived, givenBack_, at_);
            return;
        }
        // As take() would have had them, numbered on from the rows before.
        const size_t base = rows_;
        rows_ += aside_.lineCount;
        if (!cut_) {
            SheetRows& rows = wb_.sheets_[size_t(sheet_)].data.rows;
            std::string_view records(aside_.records.data(), aside_.used);
            for (const Aside::Row& r : aside_.rows) {
                if (base + r.line > range_.rows())
                    break;
                rows.append(range_.first.row + uint32_t(base + r.line - 1),
                            records.substr(0, r.bytes), r.lastCol);
                records.remove_prefix(r.bytes);
            }
            wb_.sheets_[size_t(sheet_)].changed = true;
        }
        // Only a row within the range is looked at for its width.
        if (wideRow_ == 0 && aside_.wideLine != 0 && base + aside_.wideLine <= range_.rows()) {
            wideRow_ = base + aside_.wideLine;
            wideCells_ = aside_.wideCells;
        }
        if (aside_.wideLine != 0 || rows_ > range_.rows())
            cut();
    }
    GiveBackPages(arrived, givenBack_, at_);
}

Workbook::PokeStream::~PokeStream() {
    if (!helper_)
        return;
    {
        const std::lock_guard lock(helper_->mutex);
        helper_->stop = true;
    }
    helper_->posted.notify_one();
    helper_->thread.join();
}

void Workbook::PokeStream::help(Helper& h) {
    std::unique_lock lock(h.mutex);
    for (;;) {
        h.posted.wait(lock, [&h] { return h.stop || h.state == Helper::State::Posted; });
        if (h.stop)
            return;
        h.state = Helper::State::Taken;
        lock.unlock();
        aside_.make(*this, h.lines);
        lock.lock();
        h.state = Helper::State::Done;
        h.done.notify_one();
    }
}

void Workbook::PokeStream::takeLines(std::string_view lines) {
    for (size_t end; (end = lines.find('\n')) != std::string_view::npos;
         lines.remove_prefix(end + 1))
        take(LineOf(lines.substr(0, end)));
}

std::string_view Workbook::PokeStream::LineOf(std::string_view line) {
    if (line.ends_with('\r'))
        line.remove_suffix(1);
    return line;
}

// Reads the workbook only: the rows are after the sheet's last, so no old row is looked up, and
// the rows being written meanwhile are not touched. Row numbers are not known yet: the rows are
// made as they would be from the range's first row on (whose styles hold for all of them).
void Workbook::PokeStream::Aside::make(const PokeStream& p, std::string_view lines) {
    used = 0;
    rows.clear();
    lineCount = 0;
    wideLine = wideCells = 0;
    const Sheet& s = p.wb_.sheets_[size_t(p.sheet_)];
    for (size_t end; (end = lines.find('\n')) != std::string_view::npos;
         lines.remove_prefix(end + 1)) {
        ++lineCount;
        if (wideLine != 0)
            continue;
        SplitCells(ValidUtf8(LineOf(lines.substr(0, end)), repaired), cells);
        if (cells.size() > p.range_.cols()) {
            wideLine = lineCount;
            wideCells = cells.size();
            continue;
        }
        const RowCells& content = p.wb_.rowContent(s, p.range_.first.row, p.range_.first.col,
                                                   p.range_.cols(), cells, scratch, true);
        if (content.attrs.empty() && content.cells.empty())
            continue;
        // Grown only: the records are written over those of the last piece.
        const size_t bound = SheetRows::RecordBound(content);
        if (records.size() < used + bound)
            records.resize(std::max(used + bound, 2 * records.size()));
        const size_t at = used;
        used = size_t(SheetRows::Encode(content, records.data() + at, bound) - records.data());
        rows.push_back(
            {lineCount, used - at, content.cells.empty() ? 0 : content.cells.back().col});
    }
}

void Workbook::PokeStream::take(std::string_view line) {
    ++rows_;
    if (wideRow_ == 0 && rows_ <= range_.rows()) {
        // Lines end at LF, which is no part of any UTF-8 sequence: a line repaired alone reads
        // as it does in the whole block.
        SplitCells(ValidUtf8(line, repaired_), cells_);
        if (cells_.size() <= range_.cols()) {
            wb_.writeRow(wb_.sheets_[size_t(sheet_)], range_.first.row + uint32_t(rows_ - 1),
                         range_.first.col, range_.cols(), cells_, scratch_);
            return;
        }
        wideRow_ = rows_;
        wideCells_ = cells_.size();
    }
    cut();
}

void Workbook::PokeStream::cut() {
    // The block is refused: what was written goes, and the rest is only counted.
    if (!cut_) {
        Sheet& s = wb_.sheets_[size_t(sheet_)];
        s.data.rows.cutBack(mark_);
        s.changed = changed_;
        cut_ = true;
    }
}

Result<> Workbook::PokeStream::finish(std::string_view data) {
    advance(data);
    if (at_ < data.size())
        take(data.substr(at_)); // the last row, without its CR LF
    if (Result<> fits = PokeFits(range_, rows_, wideRow_, wideCells_); !fits)
        return fits;
    // The rest of the range is below the last row: nothing there to clear.
    Sheet& s = wb_.sheets_[size_t(sheet_)];
    s.changed = true;
    s.data.rows.commit();
    return {};
}

Result<> Workbook::poke(int sheet, CellRange range, std::string_view data) {
    PokeWriter writer(*this, sheet, range, data);
    if (!writer.checked())
        return writer.checked();
    while (!writer.step(range.rows())) {
    }
    return {};
}

void Workbook::write(int sheet, CellRef cell, QStringView text) {
    Sheet& s = sheets_[size_t(sheet)];
    const std::string utf8 = text.toUtf8().toStdString();
    const std::vector<std::string_view> texts{utf8};
    RowScratch scratch;
    writeRow(s, cell.row, cell.col, 1, texts, scratch);
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
        case CellKind::Raw:
            return QString::fromStdString(RawCellText(c.attrs, c.payload, sharedStrings_));
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

Result<> Workbook::save() {
    // The charts over written sheets end at their last filled rows.
    const std::map<std::string, std::string> charts = FitCharts(zip_, bookSheets());
    // Written cells may have held formulas: the chain goes, and Excel makes a new one.
    const bool written =
        std::any_of(sheets_.begin(), sheets_.end(), [](const Sheet& s) { return s.changed; });
    const bool dropChain = written && !calcChain_.empty() && zip_.contains(calcChain_);
    const std::string typesPart = "[Content_Types].xml";
    std::deque<std::string> texts;
    std::deque<SheetPart::Writer> writers;
    const auto fromText = [&texts](std::string text) {
        texts.push_back(std::move(text));
        return ZipPackage::FromText(texts.back());
    };
    // Every part of the file passes here, in its order, and gets what the new file holds for it:
    // the part as it is (no producer), or new bytes.
    std::vector<ZipPackage::SavedPart> parts;
    for (const std::string& name : zip_.names()) {
        ZipPackage::SavedPart part{name, {}};
        const auto sheet = std::find_if(sheets_.begin(), sheets_.end(),
                                        [&](const Sheet& s) { return s.part == name; });
        if (dropChain && name == calcChain_) {
            continue;
        } else if (sheet != sheets_.end() && sheet->changed) {
            SheetPart::Writer& w = writers.emplace_back(sheet->data);
            part.produce = [&w](char* out, size_t max) { return w.read(out, max); };
        } else if (const auto chart = charts.find(name); chart != charts.end()) {
            part.produce = ZipPackage::FromText(chart->second);
        } else if (dropChain && name == workbookRels_) {
            if (const auto xml = zip_.read(name))
                part.produce = fromText(WithoutCalcChainRelationship(*xml));
        } else if (dropChain && name == typesPart) {
            if (const auto xml = zip_.read(name))
                part.produce = fromText(WithoutContentType(*xml, calcChain_));
        }
        parts.push_back(std::move(part));
    }
    return zip_.save(path_, parts);
}

} // namespace sheets
