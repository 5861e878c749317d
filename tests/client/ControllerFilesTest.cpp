// Binary files written in pieces, the current error text and file information against the
// simulator's file store. The waits run at a quarter of their length.
#include "ClientTestSupport.h"
#include "CommCodes.h"
#include "ControllerFiles.h"
#include "FrameFields.h"

#include <cstring>

namespace {

class ControllerFilesTest : public ClientFixture
{
protected:
    ScaledWaits waits{kTestWaitScale};
};

QString asciiText(int size)
{
    QString s;
    for (int i = 0; i < size; ++i)
        s.append(QChar('A' + i % 26));
    return s;
}

// Open, pieces of at most 200 bytes (whole UTF-8 characters, the count field counting bytes),
// close; the controller holds the bytes under the name and type.
TEST_F(ControllerFilesTest, FileGoesInPiecesOfTwoHundredBytes)
{
    connectClient(1);
    const struct { QString name, content; std::vector<int32_t> counts; } cases[] = {
        {"a.bin", asciiText(450), {200, 200, 50}},
        {"b.bin", asciiText(400), {200, 200, 0}},
        {"c.bin", "", {0}},
        {"d.bin", "A", {1}},
        // 100 'é' fill 200 bytes; 50 'é' and 98 'a' make 198, the 4-byte character goes on.
        {QString::fromUtf8("Ä-log.bin"),
         QString::fromUtf8("é").repeated(150) + QString(98, QChar('a')) + QString::fromUtf8("\xF0\x9F\x98\x80") + "b",
         {200, 198, 5}},
    };
    for (const auto& c : cases) {
        sim->clearReceived();
        EXPECT_EQ(client->writeCncFile(3, c.name, c.content), 0) << c.counts.size();
        const QList<QByteArray> requests = sim->receivedFrames();
        ASSERT_GE(requests.size(), 2);
        EXPECT_EQ(requests.first().mid(7, 6), QByteArray("\x83\x01", 2) + le32(3)) << "open first, with the type";
        EXPECT_EQ(requests.first().mid(13), c.name.toUtf8());
        EXPECT_EQ(requests.last().mid(7, 2), QByteArray("\x83\x03", 2)) << "close last";
        std::vector<int32_t> counts;
        QByteArray sent;
        for (const QByteArray& f : framesWith(*sim, 0x83, 2)) {
            counts.push_back(int32At(f, 9));
            EXPECT_EQ(f.size() - 13, counts.back());
            EXPECT_EQ(QString::fromUtf8(f.mid(13)).toUtf8(), f.mid(13)) << "each piece is whole UTF-8";
            sent += f.mid(13);
        }
        EXPECT_EQ(counts, c.counts);
        EXPECT_EQ(sent, c.content.toUtf8());
        EXPECT_EQ(sim->files()->binaryFile(c.name.toUtf8()), c.content.toUtf8());
        EXPECT_EQ(sim->files()->binaryFileType(c.name.toUtf8()), 3);
    }
}

// A failing step ends the file: the code names the step, nothing follows a refused open or write.
TEST_F(ControllerFilesTest, FailingStepEndsTheFile)
{
    connectClient(1);
    EXPECT_EQ(client->binFileWrite("x"), 100) << "no file open";
    EXPECT_EQ(client->binFileOpen(2, "raw.bin"), 0);
    EXPECT_EQ(client->binFileWrite("xyz"), 0);
    EXPECT_EQ(client->binFileClose(), 0);
    EXPECT_EQ(sim->files()->binaryFile("raw.bin"), QByteArray("xyz"));
    sim->scriptReply(0x83, 3, scriptOf(ReplyScript::Status, 5, 0, 1));
    EXPECT_EQ(client->binFileClose(), 105);
    const QString content = asciiText(450);
    const struct { int sub, state, firstPasses; int32_t expected; int requests; } rows[] = {
        {2, 0, 1, 101, 3},  // the second write refused: open, two writes, no close
        {1, 0, 0, 100, 1},  // the open refused: nothing after it
        {3, 2, 0, 102, 5},
    };
    for (const auto& r : rows) {
        sim->clearReceived();
        sim->scriptReply(0x83, r.sub, scriptOf(ReplyScript::Status, r.state, 0, 1));
        if (r.firstPasses) // the newest script serves first; state 1 is a file step's success
            sim->scriptReply(0x83, r.sub, scriptOf(ReplyScript::Status, 1, 0, 1));
        EXPECT_EQ(client->writeCncFile(0, "f.bin", content), r.expected) << r.sub;
        EXPECT_EQ(sim->receivedFrames().size(), r.requests) << r.sub;
        EXPECT_TRUE(sim->files()->binaryFile("f.bin").isEmpty()) << r.sub;
    }
    ASSERT_TRUE(client->tcpDisconnect());
    EXPECT_EQ(client->writeCncFile(0, "d.bin", content), 100);
}

// The current error text: at most CallerBuffer::TextBytes written, terminator included, asked in
// pieces of 100; empty when the call fails.
TEST_F(ControllerFilesTest, ErrorText)
{
    connectClient(1);
    const int kBuffer = CallerBuffer::TextBytes;
    const struct { const char* what; int size, declared; int sub, state; bool garbled; int32_t expected; int got; size_t pieces; } rows[] = {
        {"whole", 250, -1, 0, 0, false, 0, 250, 3},
        {"empty", 0, -1, 0, 0, false, 0, 0, 0},
        {"cut to the buffer", 2000, -1, 0, 0, false, 0, kBuffer - 1, (kBuffer - 1 + 99) / 100},
        {"length refused", 150, -1, 1, 1, false, 112, 0, 0},
        {"second piece garbled", 150, -1, 0, 0, true, 113, 0, 2},
        // A controller that announces more than it sends is asked only a few times in vain.
        {"never comes", 3, 50, 0, 0, false, 113, 0, 1 + AsynchronousClient::kErrorTextEmptyReplies},
    };
    for (const auto& r : rows) {
        sim->clearReceived();
        const QByteArray message = countingBytes(r.size);
        sim->files()->setErrorText(4, message, r.declared);
        if (r.sub)
            sim->scriptReply(0x85, r.sub, scriptOf(ReplyScript::Status, r.state, 0, 1));
        if (r.garbled) { // the newest script serves first
            sim->scriptReply(0x85, 2, rawReply(tcpFrame(QByteArray("\xC1", 1)), 1));
            sim->scriptReply(0x85, 2, scriptOf(ReplyScript::Status, 0, 0, 1));
        }
        char text[CallerBuffer::TextBytes + 16];
        std::memset(text, 'x', sizeof text);
        EXPECT_EQ(client->getCurErrString(4, 0x107, text), r.expected) << r.what;
        EXPECT_EQ(QByteArray(text), message.left(r.got)) << r.what;
        for (size_t i = size_t(r.got) + 1; i < sizeof text; ++i)
            ASSERT_EQ(text[i], 'x') << r.what << ": written past the text at " << i;
        EXPECT_EQ(framesWith(*sim, 0x85, 1).at(0).mid(9), QByteArray("\x04\x07", 2)) << "channel and value, a byte each";
        EXPECT_EQ(framesWith(*sim, 0x85, 2).size(), r.pieces) << r.what;
    }
    char text[8];
    EXPECT_EQ(client->getCurErrString(1, 0, nullptr), 1);
    ASSERT_TRUE(client->tcpDisconnect());
    EXPECT_EQ(client->getCurErrString(1, 0, text), 7);
}

// File information by type (0 PLC, 1 program) and channel: the path asked, the Latin-1 answer
// given as UTF-8, and the refusals: "" to the caller, nothing sent for a bad argument.
TEST_F(ControllerFilesTest, FileInformation)
{
    connectClient(1);
    sim->files()->setFileInfo("/home/root/veko/usr/sys0003/plc/P1", "size=12 d\xE9j\xE0");
    sim->files()->setFileInfo("/home/root/veko/usr/sys0012/program/O100", "size=12 d\xE9j\xE0");
    sim->files()->setFileInfo("/home/root/veko/usr/sys0009/program/O9", "size=12 d\xE9j\xE0");
    const char* const kInfo = "size=12 d\xC3\xA9j\xC3\xA0";
    const struct { int32_t type, channel; QString name; bool buffer; int32_t expected; const char* info; const char* asked; } rows[] = {
        {0, 3, "P1", true, 0, kInfo, "/home/root/veko/usr/sys0003/plc/P1"},
        {1, 12, "O100", true, 0, kInfo, "/home/root/veko/usr/sys0012/program/O100"},
        {1, 9, "O9", true, 0, kInfo, "/home/root/veko/usr/sys0009/program/O9"},
        {1, 1, "nothing", true, 3, "", "/home/root/veko/usr/sys0001/program/nothing"},
        {0, 1, QString::fromUtf8("é"), true, 3, "", "/home/root/veko/usr/sys0001/plc/\xE9"}, // Latin-1, byte for byte
        {2, 1, "P1", true, 1, "", nullptr},
        {-1, 1, "P1", true, 1, "", nullptr},
        {0, 1, QString::fromUtf8("Ω.plc"), true, 1, "", nullptr}, // would name another file
        {0, 1, "P1", false, 1, "", nullptr},
    };
    for (const auto& r : rows) {
        sim->clearReceived();
        char info[CallerBuffer::TextBytes];
        std::memset(info, 'x', sizeof info);
        EXPECT_EQ(client->getCncFileInf(r.type, r.channel, r.name, r.buffer ? info : nullptr), r.expected) << r.type << r.channel;
        if (r.buffer) {
            EXPECT_STREQ(info, r.info) << r.type << r.channel;
        }
        const std::vector<QByteArray> asked = framesWithCode(*sim, 0x84);
        EXPECT_EQ(asked.size(), r.asked ? 1u : 0u);
        if (r.asked && !asked.empty()) {
            EXPECT_EQ(asked[0].mid(8), QByteArray(r.asked));
        }
    }
    // Asking for file information closes a file declaration.
    char info[CallerBuffer::TextBytes];
    ASSERT_EQ(client->setTransFileType(2, 1, "O1", false), 0);
    ASSERT_EQ(client->getCncFileInf(0, 3, "P1", info), 0);
    EXPECT_EQ(client->overwrite("G01"), 1);
    sim->scriptReply(0x84, -1, scriptOf(ReplyScript::Silence, 0, 0, 1));
    EXPECT_EQ(client->getCncFileInf(0, 1, "P1", info), 111);
    ASSERT_TRUE(client->tcpDisconnect());
    EXPECT_EQ(client->getCncFileInf(0, 1, "P1", info), 7);
}

} // namespace
