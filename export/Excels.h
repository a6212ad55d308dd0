#pragma once
// TExcel: the link to the spreadsheet program. One control conversation (service "Excel", topic
// "System") carries macro commands and the items "Status", "Selection" and "Topics"; cell writes
// go out one at a time as commands, or, in batch mode, are collected as TAB-separated rows and
// poked as rectangular blocks over a short-lived conversation with the active sheet. Every
// refusal or silence is returned as an Error with the system's fixed text. Free of widgets.
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

#include "base/FormatSettings.h"
#include "base/Result.h"
#include "export/DdeConversation.h"

class TExcel {
public:
    // Event handler; the sender is the link itself.
    using NotifyEvent = std::function<void(TExcel* sender)>;
    // Now as a date-time value (days since 30 December 1899, time of day as fraction).
    using Clock = std::function<double()>;

    // Without a conversation the link makes its own on the local service sockets; without a
    // clock it reads the local wall clock.
    explicit TExcel(std::unique_ptr<DdeConversation> conv = nullptr,
                    const FormatSettings& format = FormatSettings::system(), Clock now = {});
    virtual ~TExcel();
    TExcel(const TExcel&) = delete;
    TExcel& operator=(const TExcel&) = delete;

    // Properties.
    // The program started when the service does not answer, without its file extension (a path
    // remains). Setting it disconnects first.
    const QString& ExeName() const { return FExeName; }
    void SetExeName(const QString& name);
    // Commands between two speed checks.
    int ExecLimit() const { return FExecLimit; }
    void SetExecLimit(int limit) { FExecLimit = limit; }
    // Digits after the decimal point written by PutFloat.
    int Decimals() const { return FDecimals; }
    void SetDecimals(int digits) { FDecimals = digits; }
    // Rows sent in one overflow block, and rows the batch may hold before one is sent. The
    // setters keep BatchMin <= BatchMax.
    int BatchMin() const { return FBatchMin; }
    void SetBatchMin(int rows);
    int BatchMax() const { return FBatchMax; }
    void SetBatchMax(int rows);
    NotifyEvent OnOpen;  // the control conversation has opened
    NotifyEvent OnClose; // the control conversation has ended

    bool Connected() const { return FConnected; }
    bool Batching() const { return FBatching; }

    // Rightmost sheet column a batch block covers; may be set directly.
    int BatchLastCol = 0;
    // The batch's rows: entry i is sheet row FBatchRow + i, its cells from column FBatchCol on
    // joined by TAB; whole rows may be appended directly. (The export makes its million rows as
    // bytes and pokes them with the other PokeBlock.)
    QStringList Rows;

    // Operations. Rows and columns are 1-based sheet coordinates.
    // Fails with "Excel not connected" unless connected ("Excel not responding" when the service
    // went away); else runs the event queue once.
    [[nodiscard]] virtual Result<void> CheckConnected();
    // Finds the bundled spreadsheet service next to the program and makes it ExeName.
    virtual void LocateExeName();
    // Every (ExecLimit + 1)-th command: waits for ready when the last ones came too fast.
    [[nodiscard]] virtual Result<void> ThrottleExec();
    // One round of the event queue, where the conversation's replies and events arrive.
    virtual void PumpMessages();
    [[nodiscard]] virtual Result<void> PutFloat(int row, int col, double value);
    [[nodiscard]] virtual Result<void> PutInteger(int row, int col, int value);
    [[nodiscard]] virtual Result<void> PutDate(int row, int col, double value);

    // Brings the control conversation up, starting the program if needed.
    [[nodiscard]] Result<void> Connect();
    void Disconnect();
    // Sends one macro command on the control conversation.
    [[nodiscard]] Result<void> ExecMacro(const QString& cmd);
    // Returns when "Status" reads "Ready"; fails with "Excel not responding" after 64 polls, or
    // at once when the service has gone silent.
    [[nodiscard]] Result<void> WaitReady();
    [[nodiscard]] Result<bool> IsReady();
    // The item's text from the control conversation, or "*** No Reply ***".
    [[nodiscard]] Result<QString> RequestItem(const QString& item);
    // The selection with every apostrophe removed, e.g. [Data.xls]Channel_1!R1C1.
    [[nodiscard]] Result<QString> GetSelection();
    [[nodiscard]] Result<void> SelectCell(int row, int col);
    // Writes one cell: into the batch, or at once as a command.
    [[nodiscard]] Result<void> PutText(int row, int col, const QString& text);
    void BeginBatch(int row, int col);
    // Sends what the batch holds as one block, then DropBatch.
    [[nodiscard]] Result<void> EndBatch();
    // Discards the batch without sending and leaves batch mode.
    void DropBatch();
    // Writes a rectangle of the active sheet in one transfer.
    [[nodiscard]] Result<void> PokeBlock(int row1, int col1, int row2, int col2,
                                         const QStringList& lines);
    // The same with the rows as the transfer carries them, in UTF-8, each followed by CR LF:
    // made so by whoever has a million of them.
    [[nodiscard]] Result<void> PokeBlock(int row1, int col1, int row2, int col2,
                                         const QByteArray& rows);
    // Appends the names of the open workbooks.
    [[nodiscard]] Result<void> GetWorkbooks(QStringList& list);
    // Appends the sheet names of the workbook.
    [[nodiscard]] Result<void> GetSheets(const QString& workbook, QStringList& list);

protected:
    // Fails with "Excel not responding" when the service stayed silent past its limit, or went
    // away (with what the socket said on a line of its own); every transaction that fails checks
    // it, so a silent or lost service ends what it was asked at once.
    [[nodiscard]] Result<void> CheckResponding();
    // What a failed transaction returns: the service's silence or loss when that is why, else
    // `text`.
    tl::unexpected<Error> Failed(const QString& text);
    [[nodiscard]] Result<void> AddToBatch(int row, int col, const QString& text);
    [[nodiscard]] Result<void> SendOverflow();
    void ConvOpen();
    void ConvClose();
    void AttachEvents();
    void DetachEvents();
    double Now() const;

    std::unique_ptr<DdeConversation> FConv;
    FormatSettings FFormat;
    Clock FClock;
    bool FConnected = false;
    QString FExeName;
    int FDecimals = 2;
    bool FBatching = false;
    int FBatchMin = 200;
    int FBatchMax = 250;
    int FBatchRow = 0;
    int FBatchCol = 0;
    QStringList FBlock;
    double FLastCheck = 0;
    int FExecCount = 0;
    int FExecLimit = 99;
};
