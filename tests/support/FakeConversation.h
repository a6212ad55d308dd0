#pragma once
// An in-process spreadsheet service behind the conversation interface: it answers like the real
// one, and the tests make it fail, refuse, stall or go away. Two records for the tests to
// compare: `log`, every transaction as the client asked it, and `trace`, what the service did
// with the commands and pokes it was sent. With `keepsWorkbooks` it also keeps the workbooks
// that OPEN opened, their sheets and the active one, and answers "Selection" and "Topics" from
// them.
#include <QRegularExpression>
#include <QStringList>
#include <algorithm>
#include <functional>
#include <map>
#include <vector>

#include "export/DdeConversation.h"
#include "support/PokedLines.h"

class FakeConversation : public DdeConversation {
public:
    // What the service does; tests change it.
    QString status = "Ready";
    QString selection = "[Data.xls]Channel_1!R1C1";
    std::optional<QString> topics;
    int openFailures = 0;         // the next opens that fail
    QString failTopic;            // a topic that never opens
    int refuseExecs = 0;          // the next executes that are refused
    QString refusedCommand;       // a command that is always refused
    int acceptPokes = 0;          // pokes accepted before the refusals below start
    int refusePokes = 0;          // then, the pokes that are refused
    int busyRounds = 0;           // rounds a waiting execute keeps the conversation busy
    QString error;                // the text of every failure
    std::function<void()> onPump; // runs at every pump round
    QString reason;               // the service's reason for refusals; none when empty
    bool silent = false;          // transactions go unanswered: the service is not responding
    std::optional<QString> gone;  // the service went away, the socket saying this; all fails

    // The workbooks, when the service keeps them.
    struct Book {
        QString name;
        QStringList sheets;
    };
    bool keepsWorkbooks = false;
    std::vector<Book> books; // open workbooks, the last one active
    QString activeSheet;
    QStringList templateSheets; // the sheets a workbook opened by OPEN has

    QStringList log;   // "open <topic>", "request <item>", "poke <topic> <item> (<rows>)", ...
    QStringList trace; // "exec <command>", "poke <topic> <item> <rows>", "refused ..."
    QList<QStringList> pokes;                 // the rows of every accepted poke
    std::map<QString, QByteArray> sheetPokes; // sheet -> rows of its last block, as poked

    void setService(const QString& s) override {
        end();
        service_ = s;
    }
    void setTopic(const QString& t) override {
        end();
        topic_ = t;
    }
    QString service() const override { return service_; }
    QString topic() const override { return topic_; }
    void setServiceApplication(const QString& p) override { app_ = p; }
    QString serviceApplication() const override { return app_; }
    Result<void> open() override {
        if (open_)
            return {};
        log << "open " + topic_;
        if (openFailures > 0 || topic_ == failTopic || gone) {
            openFailures = std::max(0, openFailures - 1);
            return Fail(error);
        }
        open_ = true;
        if (onOpen)
            onOpen();
        return {};
    }
    void close() override {
        end();
        log << "disconnect";
    }
    bool isOpen() const override { return open_; }
    Result<QString> request(const QString& item) override {
        log << "request " + item;
        if (!open_ || busy_ > 0 || silent || gone)
            return Fail(error);
        if (item == "Status")
            return status;
        if (item == "Selection")
            return keepsWorkbooks ? WorkbookSelection() : selection;
        if (item == "Topics") {
            if (keepsWorkbooks)
                return WorkbookTopics();
            if (!topics)
                return Fail(error);
            return *topics;
        }
        return QString();
    }
    Result<void> poke(const QString& item, const QByteArray& rows) override {
        const QStringList lines = PokedLines(rows);
        log << QString("poke %1 %2 (%3)").arg(topic_, item).arg(lines.size());
        if (!open_ || busy_ > 0 || silent || gone)
            return Fail(error);
        if (acceptPokes > 0)
            --acceptPokes;
        else if (refusePokes-- > 0)
            return Refuse("refused poke " + item);
        trace << QStringLiteral("poke %1 %2 %3").arg(topic_, item).arg(lines.size());
        pokes << lines;
        sheetPokes[activeSheet] = rows;
        return {};
    }
    Result<void> execute(const QString& cmd, bool wait) override {
        log << (wait ? "execute-wait " : "execute ") + cmd;
        if (!open_ || busy_ > 0 || silent || gone)
            return Fail(error);
        if (refuseExecs-- > 0 || (!refusedCommand.isEmpty() && cmd == refusedCommand))
            return Refuse("refused exec " + cmd);
        trace << "exec " + cmd;
        if (keepsWorkbooks)
            Command(cmd);
        if (wait)
            busy_ = busyRounds;
        return {};
    }
    bool busy() const override { return busy_ > 0; }
    bool notResponding() const override { return silent; }
    std::optional<QString> serviceLost() const override { return gone; }

    // One round of the event queue: a completion notice may arrive.
    void pump() {
        if (busy_ > 0)
            --busy_;
        if (onPump)
            onPump();
    }
    // The service ends the conversation by itself.
    void endByService() { end(); }

private:
    // Without a reason the refusal looks like a transaction that could not be started.
    tl::unexpected<Error> Refuse(const QString& entry) {
        trace << entry;
        Error e;
        e.text = error;
        if (!reason.isEmpty())
            e.refusal = reason;
        return tl::unexpected(std::move(e));
    }
    void end() {
        if (!open_)
            return;
        open_ = false;
        busy_ = 0;
        log << "close " + topic_;
        if (onClose)
            onClose();
    }
    QString WorkbookSelection() const {
        return books.empty() ? QStringLiteral("System")
                             : "[" + books.back().name + "]" + activeSheet + "!R1C1";
    }
    QString WorkbookTopics() const {
        QStringList topics;
        for (const Book& b : books)
            for (const QString& s : b.sheets)
                topics << "[" + b.name + "]" + s;
        return (topics << "System").join('\t');
    }
    // What OPEN and WORKBOOK.SELECT do to the workbooks.
    void Command(const QString& cmd) {
        static const QRegularExpression openRe(R"re(^\[OPEN\("(.*)/([^/]*)"\)\]$)re");
        static const QRegularExpression selectRe(R"re(^\[WORKBOOK\.SELECT\("(.*)"\)\]$)re");
        if (const auto m = openRe.match(cmd); m.hasMatch()) {
            books.push_back({m.captured(2), templateSheets});
            activeSheet = templateSheets.value(0);
        } else if (const auto s = selectRe.match(cmd); s.hasMatch()) {
            activeSheet = s.captured(1);
        }
    }

    QString service_, topic_, app_;
    bool open_ = false;
    int busy_ = 0;
};
