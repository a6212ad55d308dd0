#pragma once
// One open workbook file: its sheets, the active sheet and selected cells, cell writes and
// block pokes, and saving it back into its file.
#include <QString>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "CellAddress.h"
#include "ChartRanges.h"
#include "PackageParts.h"
#include "SheetPart.h"
#include "ZipPackage.h"

namespace sheets {

class Workbook {
    // What writing a row needs besides the texts, kept from row to row.
    struct RowScratch {
        RowCells old, fresh;
        std::vector<std::string> numbers;   // a column's number in the package's notation
        std::vector<uint32_t> columnStyles; // of the columns from stylesFrom on
        uint32_t stylesFrom = 0;
    };

public:
    // Opens the file; why not when it is not a workbook the service can read.
    // decimalSeparator: the operator's, taken as a decimal point in numbers besides ".".
    static Result<std::unique_ptr<Workbook>> open(const QString& path,
                                                  const QString& decimalSeparator);

    const QString& path() const { return path_; }
    // The file name without its folder: the "[Book]" of the topics.
    const QString& name() const { return name_; }
    int sheetCount() const { return int(sheets_.size()); }
    const QString& sheetName(int i) const { return sheets_[size_t(i)].name; }
    // Index of a sheet by name (letter case ignored), or -1.
    int findSheet(QStringView name) const;

    int activeSheet() const { return active_; }
    void activate(int sheet) { active_ = sheet; }
    CellRef selection() const { return sheets_[size_t(active_)].selection; }
    void select(CellRef cell) { sheets_[size_t(active_)].selection = cell; }

    // Writes the rectangle from rows of TAB-separated cells, each row ending in CR LF (a lone LF
    // counts as a row end too; the last row may lack it). Rows or cells short of the range clear
    // the rest of it; more rows or cells than the range refuse the whole poke, and nothing changes.
    // data: UTF-8 (bytes that are not are read with replacement characters).
    Result<> poke(int sheet, CellRange range, std::string_view data);
    // The same in steps, so that a large block does not hold up everything else: checked whole
    // when made (checked() then says why it is refused, and nothing is written), then written a
    // slice of rows at a time. data must outlive it; nothing else may change the workbook
    // meanwhile.
    class PokeWriter {
    public:
        PokeWriter(Workbook& wb, int sheet, CellRange range, std::string_view data);
        const Result<>& checked() const { return checked_; }
        // Writes up to maxRows more rows of the range; true once all are written.
        bool step(uint32_t maxRows);
        // From now on the whole pages of data that hold rows already written go back to the
        // system (they read as zeros after), so that a large block and the cells made of it are
        // not held at once: for data that nothing reads again.
        void giveBackWritten() { giveBack_ = true; }

    private:
        Workbook& wb_;
        int sheet_;
        CellRange range_;
        QByteArray repaired_;
        std::string_view data_;
        size_t rows_ = 0; // rows of data; the rest of the range is cleared
        size_t at_ = 0;   // where the next row of data starts
        bool giveBack_ = false;
        size_t givenBack_ = 0; // data before this is back with the system
        uint32_t next_ = 0;
        Result<> checked_;
        RowScratch scratch_;
        std::vector<std::string_view> cells_;
        std::string_view nextLine();
    };
    // A poke written while its block still arrives, into a range below the sheet's last row
    // (Appends() says whether it is one): rows are written as soon as they are whole, and cut off
    // again when a later row breaks the range. The same cells, and the same refusals, as a
    // PokeWriter of the whole block. Nothing else may change the workbook meanwhile.
    class PokeStream {
    public:
        static bool Appends(const Workbook& wb, int sheet, CellRange range);
        PokeStream(Workbook& wb, int sheet, CellRange range, size_t dataBytes);
        ~PokeStream();
        PokeStream(const PokeStream&) = delete;
        PokeStream& operator=(const PokeStream&) = delete;
        // The block's bytes so far, a growing start of the same bytes: writes the rows that are
        // whole, and gives the pages of those rows back to the system (they read as zeros after).
        void advance(std::string_view arrived);
        // The whole block: writes its last row; why it is refused, nothing then written.
        Result<> finish(std::string_view data);

    private:
        Workbook& wb_;
        int sheet_;
        CellRange range_;
        SheetRows::Mark mark_;
        bool changed_;
        bool cut_ = false;
        size_t at_ = 0; // where the next row starts
        size_t givenBack_ = 0;
        size_t rows_ = 0; // rows of data so far
        size_t wideRow_ = 0, wideCells_ = 0;
        RowScratch scratch_;
        std::vector<std::string_view> cells_;
        QByteArray repaired_;
        // Pieces of at least this many bytes are made into rows on two threads.
        static constexpr size_t SplitBytes = 64 * 1024;
        // Rows made on the other thread, to be added after those written meanwhile.
        struct Aside {
            struct Row {
                size_t line;  // of the piece, from 1
                size_t bytes; // of its record
                uint32_t lastCol;
            };
            std::string records;
            size_t used = 0; // bytes of records
            std::vector<Row> rows;
            size_t lineCount = 0;               // of data, rows or not
            size_t wideLine = 0, wideCells = 0; // the first line with too many cells; the rest
                                                // is only counted
            RowScratch scratch;
            std::vector<std::string_view> cells;
            QByteArray repaired;
            // The rows of whole lines.
            void make(const PokeStream& p, std::string_view lines);
        } aside_;
        // The other thread, started at the first large piece. It makes a piece's second half
        // only if it gets to it before this thread is through the first; else this thread
        // writes it too, so that on a busy machine the poke never waits for the other thread
        // to be given a core.
        struct Helper {
            std::mutex mutex;
            std::condition_variable posted, done;
            std::string_view lines;
            enum class State { Idle, Posted, Taken, Done } state = State::Idle;
            bool stop = false;
            std::thread thread;
        };
        std::unique_ptr<Helper> helper_;
        void help(Helper& h);
        void takeLines(std::string_view lines);
        void take(std::string_view line);
        void cut();
        static std::string_view LineOf(std::string_view line);
    };
    Result<> poke(int sheet, CellRange range, QStringView data) {
        const QByteArray utf8 = data.toUtf8();
        return poke(sheet, range, std::string_view(utf8.constData(), size_t(utf8.size())));
    }
    // Writes one cell; the text is stored exactly (TAB, CR and LF included).
    void write(int sheet, CellRef cell, QStringView text);
    // The cell's value as text.
    QString cellText(int sheet, CellRef cell) const;

    // Bytes its cells take in memory.
    uint64_t cellBytes() const;

    // Writes the file anew; why not when it could not, the file then left as it was.
    Result<> save();

private:
    struct Sheet {
        QString name;
        std::string part;
        SheetPart data;
        bool changed = false;
        CellRef selection;
    };
    QString path_;
    QString name_;
    std::string decimalSeparator_;
    ZipPackage zip_;
    std::vector<Sheet> sheets_;
    std::vector<bool> textStyles_;
    std::vector<std::string> sharedStrings_;
    std::string calcChain_;
    std::string workbookRels_;
    int active_ = 0;

    // Row r of a rectangle write: the texts for columns first..first+n-1 (fewer: cleared).
    void writeRow(Sheet& s, uint32_t row, uint32_t firstCol, uint32_t cols,
                  const std::vector<std::string_view>& texts, RowScratch& scratch);
    // The row's content after such a write, made in the scratch. A row after the sheet's last
    // (appended) has no old content to look up: only the styles are read then.
    const RowCells& rowContent(const Sheet& s, uint32_t row, uint32_t firstCol, uint32_t cols,
                               const std::vector<std::string_view>& texts, RowScratch& scratch,
                               bool appended) const;
    bool isText(uint32_t style) const;
    // The sheets as the fitting of charts on SAVE sees them.
    std::vector<BookSheet> bookSheets() const;
};

} // namespace sheets
