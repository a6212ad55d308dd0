#pragma once
// The conversation protocol between the spreadsheet link and the spreadsheet service
// (impix-sheets), carried over a local stream socket. One socket is one client session; over it
// the client opens conversations (a service and a topic) one at a time, and every transaction
// gets exactly one reply, in order.
//
// Every message on the wire:
//   u32 length N (little-endian) of what follows, N <= MaxMessageBytes, then N bytes:
//   u8  version (Version)
//   u8  kind    (MessageKind)
//   u32 seq     (little-endian; a reply carries the seq of the transaction it answers,
//                an unasked Closed carries 0)
//   fields: each text is u32 byte count (little-endian) + UTF-8 bytes; a flag is one byte.
//
// Client to service                      Replies
//   Connect  text service, text topic    Accepted | Refused
//   Close                                Closed (the conversation ended; the session goes on)
//   Request  text item                   Data text | NoReply
//   Poke     text item, text data        Accepted | Refused
//   Execute  text command, u8 wait       Accepted | Refused; with wait 1, Completed follows
//                                        Accepted once the command is done
// Service to client, unasked
//   Closed                               the service ended the open conversation
//
// Refused carries a reason text (for logs; may be empty). The service executes a command before
// it answers, so Accepted means "done" and a command that failed (a save that could not be
// written) is Refused. Workbooks opened in a session are closed, unsaved changes dropped, when
// the session's socket closes. A message that is too long, has another version or an unknown
// kind, or whose fields do not fill it exactly ends the session. A service at one of its limits
// answers Refused with the reason (as soon as it has read the seq, before the rest of the
// message); a session beyond its session limit is closed after that first refusal.
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>

#include "base/Result.h"

namespace dde {

constexpr uint8_t Version = 1;
constexpr uint32_t MaxMessageBytes = 64u * 1024u * 1024u;

enum class MessageKind : uint8_t {
    // client to service
    Connect = 1,
    Close = 2,
    Request = 3,
    Poke = 4,
    Execute = 5,
    // service to client
    Data = 16,
    NoReply = 17,
    Accepted = 18,
    Refused = 19,
    Completed = 20,
    Closed = 21,
};

// One message; only the fields of its kind are used (see the table above).
struct Message {
    MessageKind kind = MessageKind::Close;
    uint32_t seq = 0;
    QString a{}; // service, item, command, data text or refusal reason
    QString b{}; // topic, or poke data
    // Poke data as it came (UTF-8, not checked), in place of b, from a decoder told to keep it
    // so: a large block then costs no copy at all. It points into `holder`, the message's bytes.
    QByteArray data{};
    QByteArray holder{};
    bool wait = false;
};

// The bytes of one message, length prefix included.
QByteArray Encode(const Message& m);

// The bytes of a Poke up to its data text, for `dataBytes` bytes of UTF-8 that follow on the wire
// as they are: a block of many megabytes is sent without being copied into one message.
QByteArray EncodePokeHead(uint32_t seq, const QString& item, uint32_t dataBytes);

// Cuts messages out of a byte stream as it arrives.
class Decoder {
public:
    void feed(const QByteArray& bytes);
    // The next complete message, or nothing when more bytes are needed or the stream is broken.
    std::optional<Message> next();
    // The stream broke a rule; the session must end. error() says which.
    bool failed() const { return !error_.isEmpty(); }
    const QString& error() const { return error_; }
    void keepPokeDataRaw(bool keep) { rawPokeData_ = keep; }

private:
    bool rawPokeData_ = false;
    QByteArray buf_;
    qsizetype pos_ = 0;
    QString error_;
};

// The folder of the services' sockets: $XDG_RUNTIME_DIR/impix-dde, or /tmp/impix-dde-<uid>.
QString SocketFolder();
// The socket of a service in that folder.
QString SocketPath(const QString& service);
// Creates the folder with mode 0700 when it is missing. Nothing when the folder is fit for use,
// else why not (not a folder, not this user's, open to others).
Result<void> PrepareSocketFolder(const QString& folder);

} // namespace dde
