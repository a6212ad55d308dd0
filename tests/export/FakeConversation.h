#pragma once
// An in-process spreadsheet service behind the conversation interface: it answers like the
// real one and writes every transaction into a log that the tests compare.
#include <QStringList>
#include <functional>

#include "export/DdeConversation.h"
#include "export/PokedLines.h"

class FakeConversation : public DdeConversation {
public:
    // What the service does; tests change it.
    QString status = "Ready";
    QString selection = "[Data.xls]Channel_1!R1C1";
    std::optional<QString> topics;
    int openFailures = 0;         // the next opens that fail
    QString failTopic;            // a topic that never opens
    int refuseExecs = 0;          // the next executes that are refused
    int refusePokes = 0;          // the next pokes that are refused
    int busyRounds = 0;           // rounds a waiting execute keeps the conversation busy
    QString error;                // lastError() text
    std::function<void()> onPump; // runs at every pump round
    QString reason;               // the service's reason for refusals; none when empty
    bool silent = false;          // transactions go unanswered: the service is not responding
    std::optional<QString> gone;  // the service went away, the socket saying this; all fails

    QStringList log;
    QList<QStringList> pokes;

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
    bool open() override {
        if (open_)
            return true;
        log << "open " + topic_;
        if (openFailures > 0 || topic_ == failTopic || gone) {
            openFailures = std::max(0, openFailures - 1);
            return false;
        }
        open_ = true;
        if (onOpen)
            onOpen();
        return true;
    }
    void close() override {
        end();
        log << "disconnect";
    }
    bool isOpen() const override { return open_; }
    std::optional<QString> request(const QString& item) override {
        log << "request " + item;
        if (!open_ || busy_ > 0 || silent || gone)
            return std::nullopt;
        if (item == "Status")
            return status;
        if (item == "Selection")
            return selection;
        if (item == "Topics")
            return topics;
        return QString();
    }
    bool poke(const QString& item, const QByteArray& rows) override {
        const QStringList lines = PokedLines(rows);
        log << QString("poke %1 %2 (%3)").arg(topic_, item).arg(lines.size());
        refused_.reset();
        if (!open_ || busy_ > 0 || silent || gone)
            return false;
        if (refusePokes-- > 0)
            return Refuse();
        pokes << lines;
        return true;
    }
    bool execute(const QString& cmd, bool wait) override {
        log << (wait ? "execute-wait " : "execute ") + cmd;
        refused_.reset();
        if (!open_ || busy_ > 0 || silent || gone)
            return false;
        if (refuseExecs-- > 0)
            return Refuse();
        if (wait)
            busy_ = busyRounds;
        return true;
    }
    bool busy() const override { return busy_ > 0; }
    QString lastError() const override { return error; }
    std::optional<QString> refusal() const override { return refused_; }
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
    bool Refuse() {
        if (!reason.isEmpty())
            refused_ = reason;
        return false;
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

    QString service_, topic_, app_;
    bool open_ = false;
    int busy_ = 0;
    std::optional<QString> refused_;
};
