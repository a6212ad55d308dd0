// The service's limits, each refused with a reason instead of taking its memory or its time:
// OPEN of what is no regular file or whose parts would inflate too far, more sessions than it
// serves, large messages beyond its shared buffer, and a client that does not read its replies.
// The checks wait for replies or for a second session's round trips, never for a time.
#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QTemporaryDir>
#include <QThread>
#include <QtEndian>
#include <sys/stat.h>

#include "SheetsTestUtil.h"
#include "Workbook.h"
#include "support/SheetsProcess.h"

using namespace sheets;
using namespace sheets::test;
using dde::MessageKind;

namespace {

// The workbook with a field of one part's two headers changed (at those offsets into them).
QByteArray WithHeaderField(QByteArray zip, const char* part, int central, int local,
                           uint32_t value) {
    const QByteArray name(part);
    for (qsizetype at = zip.indexOf("PK\x01\x02"); at >= 0;
         at = zip.indexOf("PK\x01\x02", at + 4)) {
        if (zip.mid(at + 46, name.size()) != name)
            continue;
        const uint32_t header = qFromLittleEndian<quint32>(zip.constData() + at + 42);
        qToLittleEndian<quint32>(value, zip.data() + at + central);
        qToLittleEndian<quint32>(value, zip.data() + header + local);
    }
    return zip;
}

QByteArray WithDeclaredSize(const QByteArray& zip, const char* part, uint32_t size) {
    return WithHeaderField(zip, part, 24, 22, size);
}

// A session on topic System, once the service has room for it (sessions that went may not
// have been noticed yet).
std::unique_ptr<Client> Session(const QString& socket) {
    for (int attempt = 0; attempt < 500; ++attempt) {
        auto c = std::make_unique<Client>();
        if (c->connect(socket)) {
            const auto r = c->call(Msg(MessageKind::Connect, "Excel", "System"));
            if (r && r->kind == MessageKind::Accepted)
                return c;
        }
        QThread::msleep(20);
    }
    return nullptr;
}

// Another session's round trips: whatever the service had read before them is done.
void Barrier(const QString& socket) {
    const auto b = Session(socket);
    ASSERT_TRUE(b);
    ASSERT_TRUE(b->call(Msg(MessageKind::Connect, "Excel", "System")));
}

// The start of a message that announces `length` bytes: prefix, version, kind, seq.
QByteArray MessageStart(uint32_t length, uint32_t seq, MessageKind kind = MessageKind::Poke) {
    QByteArray out(10, '\0');
    qToLittleEndian<quint32>(length, out.data());
    out[4] = char(dde::Version);
    out[5] = char(kind);
    qToLittleEndian<quint32>(seq, out.data() + 6);
    return out;
}

} // namespace

TEST(ServiceLimits, OpenRefusesWhatIsNoRegularFileOrInflatesTooFar) {
    QTemporaryDir dir;
    const QString fifo = dir.filePath("fifo.xls");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    // A sheet of 8 MiB that deflates to a few KiB.
    std::string flat = "<worksheet><sheetData>";
    while (flat.size() < (8u << 20))
        flat += "<row/>";
    flat += "</sheetData></worksheet>";
    const QString squeezed =
        Variant(dir.path(), "xl/worksheets/sheet2.xml", flat.data(), flat.size());
    const QByteArray template_ = ReadAll(TemplatePath());
    const QString huge = dir.filePath("huge.xls");
    WriteAll(huge, WithDeclaredSize(template_, "xl/worksheets/sheet2.xml", 0x60000000u));
    const QString lying = dir.filePath("lying.xls");
    WriteAll(lying, WithDeclaredSize(template_, "xl/worksheets/sheet2.xml", 100));
    ZipPackage pkg;
    ASSERT_TRUE(pkg.open(template_));
    const auto sheetSize = uint32_t(pkg.read("xl/worksheets/sheet2.xml")->size());
    const QString cut = dir.filePath("cut.xls");
    WriteAll(cut, WithDeclaredSize(template_, "xl/worksheets/sheet2.xml", sheetSize + 1));
    const QString badCrc = dir.filePath("crc.xls");
    WriteAll(badCrc, WithHeaderField(template_, "xl/worksheets/sheet2.xml", 16, 14, 12345));
    const struct {
        QString path;
        const char* reason;
    } cases[] = {
        {fifo, "not a regular file"},
        {"/dev/zero", "not a regular file"},
        {dir.path(), "not a regular file"},
        {squeezed, "200 times its compressed size"},
        {huge, "inflates to 1610612736 bytes, more than the 1073741824"},
        {lying, "inflates beyond its declared 100 bytes"},
        {cut, "is cut short"},
        {badCrc, "CRC error"},
    };
    for (const auto& c : cases) {
        QString error;
        EXPECT_FALSE(OpenWorkbook(c.path, ".", error)) << c.path.toStdString();
        EXPECT_TRUE(error.contains(c.reason)) << error.toStdString();
    }
}

TEST(ServiceLimits, SessionsAndTheirBuffersAreBounded) {
    SheetsProcess service;
    ASSERT_TRUE(service.Ok());
    // Sixteen sessions are served; the seventeenth hears why not, and is closed.
    std::vector<std::unique_ptr<Client>> clients;
    for (int i = 0; i < 16; ++i) {
        clients.push_back(std::make_unique<Client>());
        ASSERT_TRUE(clients.back()->connect(service.Socket()));
        ASSERT_EQ(clients.back()->call(Msg(MessageKind::Connect, "Excel", "System"))->kind,
                  MessageKind::Accepted);
    }
    {
        Client extra;
        ASSERT_TRUE(extra.connect(service.Socket()));
        const auto r = extra.call(Msg(MessageKind::Connect, "Excel", "System"));
        ASSERT_TRUE(r && r->kind == MessageKind::Refused);
        EXPECT_EQ(r->a, "the service serves 16 sessions already");
        EXPECT_FALSE(extra.next(30000));
    }
    clients.resize(3);

    // Three sessions in the middle of a 64 MiB message hold the shared buffer; a fourth large
    // message is refused as soon as its seq is known, while small ones are still served.
    for (auto& c : clients)
        c->sendRaw(MessageStart(dde::MaxMessageBytes, 7));
    Barrier(service.Socket());
    const auto fourth = Session(service.Socket());
    ASSERT_TRUE(fourth);
    fourth->sendRaw(MessageStart(dde::MaxMessageBytes, 42));
    const auto refused = fourth->next();
    ASSERT_TRUE(refused && refused->kind == MessageKind::Refused && refused->seq == 42);
    EXPECT_TRUE(refused->a.contains("256 MiB")) << refused->a.toStdString();
    const auto small = Session(service.Socket());
    ASSERT_TRUE(small);
    EXPECT_EQ(small->call(Msg(MessageKind::Request, "Status"))->a, "Ready");
}

TEST(ServiceLimits, LongMessagesButPokesAreRefusedUnreadAndNothingIsEchoed) {
    SheetsProcess service;
    const auto c = Session(service.Socket());
    ASSERT_TRUE(c);
    // Of 64 MiB each: refused on their head alone, the rest passed over, the session going on.
    const QByteArray rest(dde::MaxMessageBytes - 6, 'x');
    for (const MessageKind kind :
         {MessageKind::Execute, MessageKind::Request, MessageKind::Connect}) {
        SCOPED_TRACE(int(kind));
        c->sendRaw(MessageStart(dde::MaxMessageBytes, 42, kind));
        const auto refused = c->next();
        ASSERT_TRUE(refused && refused->kind == MessageKind::Refused && refused->seq == 42);
        EXPECT_EQ(refused->a, "a message of 67108864 bytes is longer than the 1 MiB the service "
                              "takes but for a poke");
        c->socket().write(rest);
        while (c->socket().bytesToWrite() > 0 && c->socket().waitForBytesWritten(30000)) {
        }
        EXPECT_EQ(c->call(Msg(MessageKind::Request, "Status"))->a, "Ready");
    }
    // Names of half a megabyte: quoted short in the reasons.
    const QString name = "/" + QString(512 * 1024, 'n');
    for (const dde::Message& m : {Msg(MessageKind::Execute, "[OPEN(\"" + name + "\")]"),
                                  Msg(MessageKind::Connect, "Excel", name)}) {
        const auto refused = c->call(m);
        ASSERT_TRUE(refused && refused->kind == MessageKind::Refused);
        EXPECT_LT(refused->a.size(), 400) << refused->a.left(400).toStdString();
        EXPECT_TRUE(refused->a.contains("... (524289 characters)"));
    }
}

TEST(ServiceLimits, ASilentSessionIsClosed) {
    SheetsProcess service({"--session-idle-ms", "1500"});
    const auto silent = Session(service.Socket());
    const auto talking = Session(service.Socket());
    ASSERT_TRUE(silent && talking);
    // One that keeps asking stays while the silent one is closed (a minute at most).
    const QDeadlineTimer guard(60000);
    while (silent->socket().state() == QLocalSocket::ConnectedState && !guard.hasExpired()) {
        ASSERT_EQ(talking->call(Msg(MessageKind::Request, "Status"))->a, "Ready");
        silent->socket().waitForDisconnected(50);
    }
    EXPECT_EQ(silent->socket().state(), QLocalSocket::UnconnectedState);
    EXPECT_EQ(talking->call(Msg(MessageKind::Request, "Status"))->a, "Ready");
}

TEST(ServiceLimits, AClientThatDoesNotReadItsRepliesIsNotReadFrom) {
    QTemporaryDir work;
    const QString target = work.filePath("Data.xls");
    ASSERT_TRUE(QFile::copy(TemplatePath(), target));
    SheetsProcess service;
    Client c;
    ASSERT_TRUE(c.connect(service.Socket()));
    c.call(Msg(MessageKind::Connect, "Excel", "System"));
    const QString big(4 << 20, 'x');
    ASSERT_EQ(c.call(Msg(MessageKind::Execute, "[OPEN(\"" + target + "\")]"))->kind,
              MessageKind::Accepted);
    c.call(Msg(MessageKind::Connect, "Excel", "[Data.xls]Desc"));
    ASSERT_EQ(c.call(Msg(MessageKind::Poke, "R1C1", big))->kind, MessageKind::Accepted);
    // 16 MiB of replies that are not read, then a SAVE.
    QByteArray pipeline;
    uint32_t seq = 100;
    auto add = [&](dde::Message m) {
        m.seq = ++seq;
        pipeline += dde::Encode(m);
    };
    add(Msg(MessageKind::Connect, "Excel", "[Data.xls]Desc"));
    for (int i = 0; i < 4; ++i)
        add(Msg(MessageKind::Request, "R1C1"));
    add(Msg(MessageKind::Connect, "Excel", "System"));
    add(Msg(MessageKind::Execute, "[SAVE]"));
    c.sendRaw(pipeline);
    Barrier(service.Socket());
    EXPECT_EQ(ReadAll(target), ReadAll(TemplatePath()))
        << "the SAVE ran before the replies were read";
    // Once they are read, the rest runs.
    std::vector<dde::Message> replies;
    while (replies.empty() || replies.back().seq != seq) {
        auto r = c.next();
        if (!r)
            break;
        replies.push_back(std::move(*r));
    }
    ASSERT_EQ(replies.size(), 7u); // the Connects, the four requests and the SAVE
    for (int i = 1; i <= 4; ++i)
        EXPECT_EQ(replies[size_t(i)].a.size(), big.size());
    EXPECT_EQ(replies.back().kind, MessageKind::Accepted) << replies.back().a.toStdString();
    EXPECT_NE(ReadAll(target), ReadAll(TemplatePath()));
}

TEST(ServiceLimits, CellsOfAllOpenWorkbooksAreBounded) {
    QTemporaryDir work;
    SheetsProcess service({"--cell-limit-mib", "1"});
    QString block;
    for (int i = 0; i < 20000; ++i)
        block += QStringLiteral("%1\t%2\t1.5\r\n").arg(i).arg(i * 7919);
    // A session that opens a copy of the template and pokes the block; kept open with it.
    const auto poke = [&](const QString& book) {
        auto c = Session(service.Socket());
        EXPECT_TRUE(c && QFile::copy(TemplatePath(), work.filePath(book)));
        c->call(Msg(MessageKind::Execute, "[OPEN(\"" + work.filePath(book) + "\")]"));
        c->call(Msg(MessageKind::Connect, "Excel", "[" + book + "]Channel_1"));
        const auto r = c->call(Msg(MessageKind::Poke, "R3C1:R20002C3", block));
        return std::make_pair(std::move(c), r.value_or(dde::Message()));
    };
    const auto [first, accepted] = poke("One.xls");
    EXPECT_EQ(accepted.kind, MessageKind::Accepted) << accepted.a.toStdString();
    const auto [second, refused] = poke("Two.xls");
    EXPECT_EQ(refused.kind, MessageKind::Refused);
    EXPECT_TRUE(refused.a.contains("the service keeps at most 1 MiB")) << refused.a.toStdString();
}
