#include "export/Excels.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QScopeGuard>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <malloc.h>
#include <string>

#include "base/FileLocations.h"
#include "export/DdeConversation.h"
#include "export/LocalDdeConversation.h"
#include "records/DateTime.h"

namespace {

const QString ServiceName = QStringLiteral("Excel");
const QString SystemTopic = QStringLiteral("System");
const QString NoReplyText = QStringLiteral("*** No Reply ***");
// Less than this between two speed checks means the spreadsheet is being driven too fast.
constexpr double MinCheckInterval = 0.00002; // days: 1.728 s
constexpr int ReadyPolls = 64;
constexpr qsizetype DropRowsPerRound = 65536;

QString WriteCellCommand(const QString& text, int row, int col) {
    return QStringLiteral("[FORMULA(\"") + text +
           QStringLiteral("\",\"R%1C%2\")]").arg(row).arg(col);
}

// A refusal's message, with the service's reason on a line of its own when it gave one.
QString WithReason(const QString& text, const std::optional<QString>& reason) {
    return reason && !reason->isEmpty() ? text + '\r' + *reason : text;
}

// The name with its file extension removed; a folder part stays.
QString WithoutExtension(const QString& name) {
    const qsizetype dot = name.lastIndexOf('.');
    return dot > name.lastIndexOf('/') ? name.left(dot) : name;
}

} // namespace

TExcel::TExcel(std::unique_ptr<DdeConversation> conv, const FormatSettings& format, Clock now)
    : FConv(conv ? std::move(conv) : std::make_unique<LocalDdeConversation>()), FFormat(format),
      FClock(std::move(now)) {
    AttachEvents();
    SetExeName(QStringLiteral("Excel"));
    FLastCheck = Now();
}

TExcel::~TExcel() {
    // The conversation may still report its end while it goes; nobody is left to hear it.
    DetachEvents();
}

double TExcel::Now() const {
    return FClock ? FClock() : dt::FromQDateTime(QDateTime::currentDateTime());
}

void TExcel::SetExeName(const QString& name) {
    Disconnect();
    FExeName = WithoutExtension(name);
    FConv->setServiceApplication(FExeName);
}

void TExcel::SetBatchMin(int rows) {
    FBatchMin = std::min(rows, FBatchMax);
}

void TExcel::SetBatchMax(int rows) {
    FBatchMax = std::max(rows, FBatchMin);
}

void TExcel::AttachEvents() {
    FConv->onOpen = [this] { ConvOpen(); };
    FConv->onClose = [this] { ConvClose(); };
}

void TExcel::DetachEvents() {
    FConv->onOpen = nullptr;
    FConv->onClose = nullptr;
}

void TExcel::ConvOpen() {
    FConnected = true;
    if (OnOpen)
        OnOpen(this);
}

void TExcel::ConvClose() {
    FConnected = false;
    if (OnClose)
        OnClose(this);
}

Result<void> TExcel::CheckConnected() {
    if (!FConnected)
        // A conversation that ended because the service went is no caller's mistake.
        return Failed(QStringLiteral("Excel not connected"));
    PumpMessages();
    return {};
}

Result<void> TExcel::CheckResponding() {
    if (FConv->notResponding())
        return Fail(QStringLiteral("Excel not responding"));
    // Gone (killed, crashed): what the socket said, rather than a refusal of what was asked.
    if (const std::optional<QString> why = FConv->serviceLost())
        return Fail(WithReason(QStringLiteral("Excel not responding"), why));
    return {};
}

tl::unexpected<Error> TExcel::Failed(const QString& text) {
    Result<void> responding = CheckResponding();
    return responding ? Fail(text) : tl::unexpected(std::move(responding.error()));
}

void TExcel::LocateExeName() {
    // The program registered for workbooks is the service bundled next to the console.
    const QString path = ImpixPath(Place::Programs, QStringLiteral("impix-sheets"));
    if (QFileInfo(path).isFile())
        SetExeName(path);
}

Result<void> TExcel::ThrottleExec() {
    if (FExecCount < FExecLimit) {
        ++FExecCount;
        return {};
    }
    FExecCount = 0;
    const double last = FLastCheck;
    FLastCheck = Now();
    if (FLastCheck - last < MinCheckInterval)
        return WaitReady();
    return {};
}

void TExcel::PumpMessages() {
    QCoreApplication::processEvents();
}

Result<void> TExcel::PutFloat(int row, int col, double value) {
    const int n = std::snprintf(nullptr, 0, "%0.*f", FDecimals, value);
    std::string buf(size_t(std::max(n, 0)) + 1, '\0');
    std::snprintf(buf.data(), buf.size(), "%0.*f", FDecimals, value);
    buf.resize(size_t(std::max(n, 0)));
    return PutText(row, col, QString::fromLatin1(buf).replace('.', FFormat.decimalSeparator));
}

Result<void> TExcel::PutInteger(int row, int col, int value) {
    return PutText(row, col, QString::number(value));
}

Result<void> TExcel::PutDate(int row, int col, double value) {
    // The date part counts whole days towards zero, also before 30 December 1899.
    const QDate date = dt::ToQDateTime(std::trunc(value)).date();
    return PutText(row, col, date.toString(FFormat.shortDateFormat));
}

Result<void> TExcel::Connect() {
    // A conversation lost while its events were detached leaves FConnected set; open anew.
    if (FConnected && FConv->isOpen())
        return {};
    FConv->setService(ServiceName);
    FConv->setTopic(SystemTopic);
    Result<void> opened = FConv->open();
    if (opened)
        return {};
    if (Result<void> responding = CheckResponding(); !responding)
        return responding;
    LocateExeName();
    if ((opened = FConv->open()))
        return {};
    if (Result<void> responding = CheckResponding(); !responding)
        return responding;
    if ((opened = FConv->open()))
        return {};
    QString text = QStringLiteral("Excel cannot be lunched\r") + FExeName;
    if (!opened.error().text.isEmpty())
        text += '\r' + opened.error().text;
    return Failed(text);
}

void TExcel::Disconnect() {
    if (!FConnected)
        return;
    FConv->close();
    // The close event clears the flag; a conversation already gone raises none.
    FConnected = false;
}

Result<void> TExcel::ExecMacro(const QString& cmd) {
    if (Result<void> connected = CheckConnected(); !connected)
        return connected;
    if (Result<void> throttled = ThrottleExec(); !throttled)
        return throttled;
    Result<void> done = FConv->execute(cmd, false);
    if (done) {
        PumpMessages();
        return {};
    }
    const QString refused = '"' + cmd + QStringLiteral("\" not accepted by Excel");
    // Handed over again only when it could not be started: what the service refused for a
    // reason of its own it would refuse again.
    if (done.error().refusal)
        return Failed(WithReason(refused, done.error().refusal));
    if (Result<void> responding = CheckResponding(); !responding)
        return responding;
    if (Result<void> ready = WaitReady(); !ready)
        return ready;
    if (!(done = FConv->execute(cmd, true)))
        return Failed(WithReason(refused, done.error().refusal));
    while (FConv->busy())
        PumpMessages();
    return {};
}

Result<void> TExcel::WaitReady() {
    for (int i = 0; i < ReadyPolls; ++i) {
        PumpMessages();
        const Result<bool> ready = IsReady();
        if (!ready)
            return tl::unexpected(ready.error());
        if (*ready)
            return {};
    }
    return Fail(QStringLiteral("Excel not responding"));
}

Result<bool> TExcel::IsReady() {
    return RequestItem(QStringLiteral("Status")).map([](const QString& status) {
        return status == QStringLiteral("Ready");
    });
}

Result<QString> TExcel::RequestItem(const QString& item) {
    if (Result<void> connected = CheckConnected(); !connected)
        return tl::unexpected(connected.error());
    const Result<QString> reply = FConv->request(item);
    if (!reply)
        if (Result<void> responding = CheckResponding(); !responding)
            return tl::unexpected(responding.error());
    return reply.value_or(NoReplyText);
}

Result<QString> TExcel::GetSelection() {
    return RequestItem(QStringLiteral("Selection")).map([](QString selection) {
        return selection.remove('\'');
    });
}

Result<void> TExcel::SelectCell(int row, int col) {
    return ExecMacro(QStringLiteral("[SELECT(\"R%1C%2\")]").arg(row).arg(col));
}

Result<void> TExcel::PutText(int row, int col, const QString& text) {
    if (FBatching && row >= FBatchRow && col >= FBatchCol)
        return AddToBatch(row, col, text);
    return ExecMacro(WriteCellCommand(text, row, col));
}

Result<void> TExcel::AddToBatch(int row, int col, const QString& text) {
    qsizetype i = qsizetype(row) - FBatchRow;
    while (Rows.size() <= i)
        Rows.append(QString());
    if (Rows.size() > FBatchMax) {
        if (Result<void> sent = SendOverflow(); !sent)
            return sent;
        i = qsizetype(row) - FBatchRow;
        if (i < 0)
            // The overflow block has just carried this row away; the cell follows on its own.
            return ExecMacro(WriteCellCommand(text, row, col));
    }
    if (col > BatchLastCol)
        BatchLastCol = col;
    FBlock = Rows[i].split('\t');
    const qsizetype cell = qsizetype(col) - FBatchCol;
    while (FBlock.size() <= cell)
        FBlock.append(QString());
    FBlock[cell] = text;
    Rows[i] = FBlock.join('\t');
    return {};
}

Result<void> TExcel::SendOverflow() {
    // A non-positive BatchMin sends nothing rather than an empty block.
    const qsizetype n = std::clamp<qsizetype>(FBatchMin, 0, Rows.size());
    if (n == 0)
        return {};
    FBlock = Rows.mid(0, n);
    Rows.remove(0, n);
    if (Result<void> poked =
            PokeBlock(FBatchRow, FBatchCol, FBatchRow + FBatchMin - 1, BatchLastCol, FBlock);
        !poked)
        return poked;
    FBatchRow += FBatchMin;
    return {};
}

void TExcel::BeginBatch(int row, int col) {
    Rows.clear();
    FBlock.clear();
    FBatchRow = row;
    FBatchCol = col;
    BatchLastCol = col;
    FBatching = true;
}

Result<void> TExcel::EndBatch() {
    if (!Rows.isEmpty())
        if (Result<void> poked = PokeBlock(FBatchRow, FBatchCol, FBatchRow + int(Rows.size()) - 1,
                                           BatchLastCol, Rows);
            !poked)
            return poked;
    DropBatch();
    return {};
}

void TExcel::DropBatch() {
    // A million rows take a while to free: a share at a time, the event queue running between.
    // The allocator is made to tidy up after each share too; else it gathers the million small
    // blocks in one go at some later allocation, holding up the event queue for tens of ms.
    while (Rows.size() > DropRowsPerRound) {
        Rows.resize(Rows.size() - DropRowsPerRound);
        malloc_trim(0);
        PumpMessages();
    }
    Rows = QStringList();
    FBlock = QStringList();
    FBatching = false;
}

Result<void> TExcel::PokeBlock(int row1, int col1, int row2, int col2, const QStringList& lines) {
    QByteArray rows;
    for (const QString& line : lines) {
        rows += line.toUtf8();
        rows += "\r\n";
    }
    return PokeBlock(row1, col1, row2, col2, rows);
}

Result<void> TExcel::PokeBlock(int row1, int col1, int row2, int col2, const QByteArray& rows) {
    if (Result<void> selected = SelectCell(1, 1); !selected)
        return selected;
    const Result<QString> selection = GetSelection();
    if (!selection)
        return tl::unexpected(selection.error());
    const QString& sel = *selection;
    const qsizetype bang = sel.indexOf('!');
    if (bang < 0)
        return Fail(QStringLiteral("Table is not opened"));
    // With R1C1 selected, the letters after "!" are the spreadsheet's own for row and column.
    const QString rowLetter = sel.mid(bang + 1, 1);
    const QString colLetter = sel.mid(bang + 3, 1);

    // The sheet conversation replaces the control conversation for a moment; the link's state
    // and events must not notice.
    DetachEvents();
    // Whatever happens from here on, the link goes back to the control conversation.
    const auto restore = qScopeGuard([this] {
        FConv->setService(ServiceName);
        FConv->setTopic(SystemTopic);
        // A service that does not respond is not asked again.
        if ((FConv->notResponding() || !FConv->open()) && OnClose)
            OnClose(this);
        AttachEvents();
    });
    FConv->setService(ServiceName);
    FConv->setTopic(sel.left(bang));
    if (!FConv->open())
        return Failed(QStringLiteral("Excel cannot linked  ") + sel);
    const QString range = rowLetter + QString::number(row1) + colLetter + QString::number(col1) +
                          ':' + rowLetter + QString::number(row2) + colLetter +
                          QString::number(col2);
    PumpMessages();
    // Poked once more only when the poke could not be started: what the service refused it
    // would refuse again, and a block may be many megabytes.
    if (Result<void> poked = FConv->poke(range, rows); !poked) {
        if (Result<void> responding = CheckResponding(); !responding)
            return responding;
        if (poked.error().refusal || !(poked = FConv->poke(range, rows)))
            return Failed(WithReason(QStringLiteral("\"Block ") + range +
                                         QStringLiteral("\" not accepted by Excel"),
                                     poked.error().refusal));
    }
    PumpMessages();
    // Answered only once the poke is processed: the block is in the sheet on return.
    if (!FConv->request(range.left(range.indexOf(':'))))
        return CheckResponding();
    return {};
}

Result<void> TExcel::GetWorkbooks(QStringList& list) {
    if (Result<void> connected = CheckConnected(); !connected)
        return connected;
    const Result<QString> topics = FConv->request(QStringLiteral("Topics"));
    if (!topics)
        return CheckResponding();
    const QString& s = *topics;
    for (qsizetype open = s.indexOf('['); open >= 0; open = s.indexOf('[', open + 1)) {
        const qsizetype close = s.indexOf(']', open + 1);
        const QString name = s.mid(open + 1, close < 0 ? -1 : close - open - 1);
        if (name != QStringLiteral(":") && !list.contains(name, Qt::CaseInsensitive))
            list.append(name);
    }
    return {};
}

Result<void> TExcel::GetSheets(const QString& workbook, QStringList& list) {
    if (Result<void> connected = CheckConnected(); !connected)
        return connected;
    const Result<QString> topics = FConv->request(QStringLiteral("Topics"));
    if (!topics)
        return CheckResponding();
    if (workbook.isEmpty())
        return {};
    for (const QString& topic : topics->split('\t')) {
        const qsizetype at = topic.indexOf(workbook, 0, Qt::CaseInsensitive);
        if (at >= 0)
            list.append(topic.mid(at + workbook.size() + 1));
    }
    return {};
}
