#pragma once
// One client session of the service: its socket, its one conversation at a time (the topic
// "System" or a sheet "[Book]Sheet"), the workbooks it opened and the one that is active.
// The workbooks close, changes dropped, when the socket goes; a Close of the conversation
// leaves them open, since a client switches topics in the middle of its work.
#include <QElapsedTimer>
#include <QLocalSocket>
#include <QObject>
#include <QTimer>
#include <memory>
#include <optional>
#include <vector>

#include "MacroParser.h"
#include "Workbook.h"
#include "protocol/DdeProtocol.h"

namespace sheets {

class SheetsService;

class SheetsSession : public QObject {
    Q_OBJECT
public:
    // refusal: when not empty, the session is over the service's limit: its first transaction
    // is refused with this reason, and the socket closed.
    SheetsSession(QLocalSocket* socket, SheetsService& service, int id, QString refusal = {});
    ~SheetsSession() override;
    bool refused() const { return !refusal_.isEmpty(); }

    const std::vector<std::unique_ptr<Workbook>>& workbooks() const { return workbooks_; }

signals:
    void ended();

private:
    enum class Topic { None, System, Sheet };
    QLocalSocket* socket_;
    SheetsService& service_;
    int id_;
    dde::Decoder decoder_;
    QString refusal_;
    bool ended_ = false;
    // The message being read: its length prefix and as much of it as came. One that cannot be
    // taken is skipped: only its kind and seq are kept, for the refusal.
    QByteArray message_;
    uint32_t length_ = 0;
    bool decided_ = false; // whether the message being read is taken or skipped
    bool skipping_ = false;
    bool skipAnswered_ = false;
    uint64_t skipped_ = 0;
    QString skipWhy_;
    bool closing_ = false;  // refused: nothing more is read
    uint64_t reserved_ = 0; // of the service's shared buffer budget
    // The poke being written, its message (which holds the data) and what drives its slices.
    std::unique_ptr<Workbook::PokeWriter> poke_;
    // A large poke below the sheet's last row is written while it arrives, from where its data
    // starts in message_.
    std::unique_ptr<Workbook::PokeStream> stream_;
    bool streamTried_ = false;
    qsizetype streamAt_ = 0;
    dde::Message pokeMessage_;
    QTimer pokeTimer_;
    QTimer silence_; // since the client was last heard or answered
    QElapsedTimer pokeClock_;
    int64_t pokeCpu_ = 0;
    int64_t pokeRoom_ = 0; // of the service's room for cells, held until the poke is done
    Topic topic_ = Topic::None;
    Workbook* topicBook_ = nullptr;
    int topicSheet_ = 0;
    std::vector<std::unique_ptr<Workbook>> workbooks_;
    Workbook* active_ = nullptr;

    void readMessages();
    // Reads the rest of the message being read; true once it is complete.
    bool readMessage();
    void startMessage();
    void finishMessage();
    void refuseSkipped();
    void pokeSlice();
    // Starts or goes on writing the poke being read, where it can be.
    void streamPoke();
    // Holds the room a poke's cells take, until endPoke.
    void holdPokeRoom(uint64_t dataBytes);
    void answerPoke(const dde::Message& m, const Result<>& done);
    void endPoke();
    void releaseBuffer();
    void end(const QString& why);
    void handle(const dde::Message& m);
    void send(dde::MessageKind kind, uint32_t seq, const QString& text = {});
    void connectTopic(const dde::Message& m);
    // The item's text; none when the topic has no such item (no reply).
    std::optional<QString> request(const QString& item) const;
    // Runs the macros in order; why the first failing one failed.
    Result<> execute(const std::vector<Macro>& macros);
    Result<> run(const Macro& m);
    Result<> open(const QString& path);
    // A poke's checks and its writer; why it is refused.
    Result<> startPoke(const dde::Message& m);
    // The range of a poke of the item to the topic, if it may be written; why not.
    Result<CellRange> pokeRange(const QString& item, uint64_t dataBytes) const;
    void log(const QString& text) const;
};

} // namespace sheets
