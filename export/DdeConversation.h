#pragma once
// A client conversation with a spreadsheet service: one service and one topic at a time, over
// which items are requested and poked and commands executed. The spreadsheet link drives the
// spreadsheet through this interface only, so that it can be tested against a fake service.
//
// All transactions are synchronous for the caller. Replies, completion notices and the end of a
// conversation that the service announces by itself reach the client through the event queue:
// they are acted on when the queue runs (the spreadsheet link's PumpMessages).
#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

#include "base/Result.h"

class DdeConversation {
public:
    virtual ~DdeConversation() = default;

    // Service and topic of the next open. Changing either ends an open conversation (the close
    // event fires); the session with the service stays up.
    virtual void setService(const QString& service) = 0;
    virtual void setTopic(const QString& topic) = 0;
    virtual QString service() const = 0;
    virtual QString topic() const = 0;

    // The program to start when no service answers an open; empty starts nothing.
    virtual void setServiceApplication(const QString& program) = 0;
    virtual QString serviceApplication() const = 0;

    // Opens a conversation on the service and topic set, starting the service application when
    // nothing answers; also succeeds when it already was open. The open event fires on a new
    // conversation. A failure says why (for messages and logs), with the service's reason as its
    // refusal when the service refused the topic.
    virtual Result<void> open() = 0;
    // Ends the conversation and the session; the close event fires when a conversation was open.
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    // The item's text; fails when the service refuses, does not answer in time or the
    // conversation is not open or busy.
    virtual Result<QString> request(const QString& item) = 0;
    // Pokes rows of text to the item: `rows` in UTF-8, each row followed by CR LF.
    virtual Result<void> poke(const QString& item, const QByteArray& rows) = 0;
    // Executes the command. With wait, the conversation stays busy until the service reports the
    // command complete.
    virtual Result<void> execute(const QString& command, bool wait) = 0;
    // A busy conversation refuses every transaction.
    virtual bool busy() const = 0;

    // A failed transaction carries the service's own reason as its refusal when the service
    // refused it (possibly empty); none when it failed before the service answered (not started,
    // busy, unanswered). What the service refused it would refuse again.

    // The state of the session, which outlives a transaction:
    // The service owed a reply for longer than it may stay silent, so the conversation gave it
    // up (and ended a service that it had started itself). Cleared by the next open that
    // reaches a service.
    virtual bool notResponding() const { return false; }
    // Why the session with the service ended from the service's side (it went away, or broke the
    // protocol), when it did since the last open that reached a service; nothing otherwise.
    virtual std::optional<QString> serviceLost() const { return std::nullopt; }

    // Fired when a conversation opens, and when it ends for any reason (close, a change of
    // service or topic, the service ending it, the service going away).
    std::function<void()> onOpen;
    std::function<void()> onClose;
};
