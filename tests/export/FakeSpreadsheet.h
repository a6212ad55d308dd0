#pragma once
// A spreadsheet service in the test process, behind the conversation interface of the link:
// it keeps open workbooks with their sheets and the active sheet, answers "Status", "Topics" and
// "Selection", and writes every command and poke into a trace that the tests compare.
#include <QRegularExpression>
#include <QStringList>
#include <map>

#include "export/DdeConversation.h"

class FakeSpreadsheet : public DdeConversation {
public:
    struct Book {
        QString name;
        QStringList sheets;
    };
    std::vector<Book> books; // open workbooks, the last one active
    QString activeSheet;
    QStringList templateSheets;          // the sheets a workbook opened by OPEN has
    QStringList trace;                   // "exec <command>", "poke <topic> <item> <rows>"
    std::map<QString, QByteArray> pokes; // sheet -> rows of its last block, as poked
    int refusePokesFrom = -1;            // pokes from this count on are refused
    int pokeCount = 0;
    QString refusedCommand; // a command that is refused
    QString refuseReason;   // the service's reason for a refusal; without one, as if not started

    void setService(const QString& s) override {
        Reopen(service_ != s);
        service_ = s;
    }
    void setTopic(const QString& t) override {
        Reopen(topic_ != t);
        topic_ = t;
    }
    QString service() const override { return service_; }
    QString topic() const override { return topic_; }
    void setServiceApplication(const QString& p) override { app_ = p; }
    QString serviceApplication() const override { return app_; }
    bool open() override {
        if (!open_) {
            open_ = true;
            if (onOpen)
                onOpen();
        }
        return true;
    }
    void close() override { Reopen(true); }
    bool isOpen() const override { return open_; }
    std::optional<QString> request(const QString& item) override {
        if (!open_)
            return std::nullopt;
        if (item == "Status")
            return QStringLiteral("Ready");
        if (item == "Selection")
            return books.empty() ? QStringLiteral("System")
                                 : "[" + books.back().name + "]" + activeSheet + "!R1C1";
        if (item == "Topics") {
            QStringList topics;
            for (const Book& b : books)
                for (const QString& s : b.sheets)
                    topics << "[" + b.name + "]" + s;
            return (topics << "System").join('\t');
        }
        return QString();
    }
    bool poke(const QString& item, const QByteArray& rows) override {
        if (refusePokesFrom >= 0 && pokeCount >= refusePokesFrom)
            return Refuse("refused poke " + item);
        ++pokeCount;
        trace << QStringLiteral("poke %1 %2 %3").arg(topic_, item).arg(rows.count("\r\n"));
        pokes[activeSheet] = rows;
        return true;
    }
    bool execute(const QString& command, bool) override {
        if (command == refusedCommand)
            return Refuse("refused exec " + command);
        trace << "exec " + command;
        static const QRegularExpression openRe(R"re(^\[OPEN\("(.*)/([^/]*)"\)\]$)re");
        static const QRegularExpression selectRe(R"re(^\[WORKBOOK\.SELECT\("(.*)"\)\]$)re");
        if (const auto m = openRe.match(command); m.hasMatch()) {
            books.push_back({m.captured(2), templateSheets});
            activeSheet = templateSheets.value(0);
        } else if (const auto s = selectRe.match(command); s.hasMatch()) {
            activeSheet = s.captured(1);
        }
        return true;
    }
    bool busy() const override { return false; }
    QString lastError() const override { return {}; }
    std::optional<QString> refusal() const override { return refusal_; }

private:
    bool Refuse(const QString& entry) {
        trace << entry;
        if (!refuseReason.isEmpty())
            refusal_ = refuseReason;
        return false;
    }
    void Reopen(bool changed) {
        if (changed && open_) {
            open_ = false;
            if (onClose)
                onClose();
        }
    }
    QString service_, topic_, app_;
    bool open_ = false;
    std::optional<QString> refusal_;
};
