// Binary files written in pieces and read back, the current error text, and file information,
// against the simulator's file store.
#include "ClientTestSupport.h"
#include "CommCodes.h"
#include "ControllerFiles.h"
#include "FrameFields.h"

#include <cstring>

namespace {

using ControllerFilesTest = ClientFixture;

QString asciiText(int size)
{
    QString s;
    for (int i = 0; i < size; ++i)
        s.append(QChar('A' + i % 26));
    return s;
}

struct Write
{
    int32_t count;
    QByteArray data;
};

// The binary-file writes the simulator received: their count fields and data.
std::vector<Write> writesOf(SimulatedController& sim)
{
    std::vector<Write> out;
    for (const QByteArray& f : framesWith(sim, 0x83, 2))
        out.push_back({int32At(f, 9), f.mid(13)});
    return out;
}

std::vector<int32_t> countsOf(const std::vector<Write>& writes)
{
    std::vector<int32_t> counts;
    for (const Write& w : writes)
        counts.push_back(w.count);
    return counts;
}

TEST_F(ControllerFilesTest, FileGoesInPiecesOfTwoHundred)
{
    connectClient(1);
    struct Case { int size; std::vector<int32_t> counts; };
    const Case cases[] = {{450, {200, 200, 50}}, {400, {200, 200, 0}}, {0, {0}}, {1, {1}}};
    for (const Case& c : cases) {
        sim->clearReceived();
        const QString name = QStringLiteral("part%1.bin").arg(c.size);
        const QString content = asciiText(c.size);
        EXPECT_EQ(client->writeCncFile(3, name, content), 0) << c.size;
        const std::vector<QByteArray> opens = framesWith(*sim, 0x83, 1);
        ASSERT_EQ(opens.size(), 1u);
        EXPECT_EQ(int32At(opens[0], 9), 3);
        EXPECT_EQ(opens[0].mid(13), name.toLatin1());
        const std::vector<Write> writes = writesOf(*sim);
        EXPECT_EQ(countsOf(writes), c.counts) << c.size;
        QByteArray sent;
        for (const Write& w : writes) {
            EXPECT_EQ(w.data.size(), w.count);
            sent += w.data;
        }
        EXPECT_EQ(sent, content.toLatin1());
        EXPECT_EQ(framesWith(*sim, 0x83, 3).size(), 1u);
        EXPECT_EQ(sim->files()->binaryFile(name.toLatin1()), content.toLatin1()) << c.size;
        EXPECT_EQ(sim->files()->binaryFileType(name.toLatin1()), 3);
        const QList<QByteArray> requests = sim->receivedFrames();
        EXPECT_EQ(uint8_t(requests.first()[8]), 1) << "open first";
        EXPECT_EQ(uint8_t(requests.last()[8]), 3) << "close last";
    }
}

// Text that is not plain ASCII goes as its UTF-8 bytes, counted, in pieces of at most 200 bytes
// that never split a character.
TEST_F(ControllerFilesTest, NonAsciiTextGoesAsItsUtf8Bytes)
{
    connectClient(1);
    const QString name = QString::fromUtf8("Ä-log.bin");
    const QString content = QString::fromUtf8("é").repeated(150) + QString(98, QChar('a')) +
                            QString::fromUtf8("\xF0\x9F\x98\x80") + QStringLiteral("b");
    ASSERT_EQ(client->writeCncFile(1, name, content), 0);
    EXPECT_EQ(framesWith(*sim, 0x83, 1).at(0).mid(13), name.toUtf8());
    const std::vector<Write> writes = writesOf(*sim);
    // 100 'é' fill 200 bytes; 50 'é' and 98 'a' make 198, the 4-byte character goes on.
    EXPECT_EQ(countsOf(writes), (std::vector<int32_t>{200, 198, 5}));
    for (const Write& w : writes) {
        EXPECT_EQ(w.data.size(), w.count);
        EXPECT_EQ(QString::fromUtf8(w.data).toUtf8(), w.data) << "each piece is whole UTF-8";
    }
    EXPECT_EQ(sim->files()->binaryFile(name.toUtf8()), content.toUtf8());
}

TEST_F(ControllerFilesTest, FailingStepEndsTheFile)
{
    connectClient(1);
    const QString content = asciiText(450);
    // Second write refused: newest script first, so the first write passes.
    sim->scriptReply(0x83, 2, scriptOf(ReplyScript::Status, 0, 0, 1));
    sim->scriptReply(0x83, 2, scriptOf(ReplyScript::Status, 1, 0, 1));
    EXPECT_EQ(client->writeCncFile(0, "a.bin", content), ResultCode::FileWriteFailed);
    EXPECT_EQ(writesOf(*sim).size(), 2u);
    EXPECT_TRUE(framesWith(*sim, 0x83, 3).empty()) << "no close after a refused write";

    sim->clearReceived();
    sim->scriptReply(0x83, 1, scriptOf(ReplyScript::Status, 0, 0, 1));
    EXPECT_EQ(client->writeCncFile(0, "b.bin", content), ResultCode::FileOpenFailed);
    EXPECT_EQ(sim->receivedFrames().size(), 1) << "nothing after a refused open";

    sim->scriptReply(0x83, 3, scriptOf(ReplyScript::Status, 2, 0, 1));
    EXPECT_EQ(client->writeCncFile(0, "c.bin", content), ResultCode::FileCloseFailed);
    EXPECT_TRUE(sim->files()->binaryFile("c.bin").isEmpty());

    ASSERT_TRUE(client->tcpDisconnect());
    EXPECT_EQ(client->writeCncFile(0, "d.bin", content), ResultCode::FileOpenFailed);
}

TEST_F(ControllerFilesTest, BinaryStepsOnTheirOwn)
{
    connectClient(1);
    EXPECT_EQ(client->binFileWrite("x"), ResultCode::ControllerFailure) << "no file open";
    EXPECT_EQ(client->binFileOpen(2, "raw.bin"), 0);
    EXPECT_EQ(client->binFileWrite("xyz"), 0);
    EXPECT_EQ(client->binFileClose(), 0);
    EXPECT_EQ(sim->files()->binaryFile("raw.bin"), QByteArray("xyz"));
    sim->scriptReply(0x83, 3, scriptOf(ReplyScript::Status, 5, 0, 1));
    EXPECT_EQ(client->binFileClose(), 105);
}

// The binary reads are only logged: the reply's data in hexadecimal after its label.
TEST_F(ControllerFilesTest, BinaryReadsLogWhatCame)
{
    connectClient(1);
    const QString content = asciiText(150);
    ASSERT_EQ(client->writeCncFile(1, "r.bin", content), 0);
    LogCapture log;
    EXPECT_EQ(client->binFileReadOpen(0x4241, 3, "r.bin"), 0);
    EXPECT_EQ(client->binFileRead(), 0);
    EXPECT_EQ(client->binFileRead(), 0);
    EXPECT_EQ(client->binFileReRead(), 0);
    const std::vector<QByteArray> opens = framesWith(*sim, 'e', 1);
    ASSERT_EQ(opens.size(), 1u);
    EXPECT_EQ(opens[0].mid(9), QByteArray("\x41\x03r.bin", 7));
    const std::string first = content.left(100).toLatin1().toHex().toStdString();
    const std::string last = content.mid(100).toLatin1().toHex().toStdString();
    EXPECT_EQ(log.count("a[0]== A a[1]== B"), 1);
    EXPECT_EQ(log.count("type== 16961 3 fileName== r.bin"), 1);
    EXPECT_EQ(log.count("readbinOpen== \"01\""), 1);
    EXPECT_EQ(log.count("redbinRead111== \"" + first + "\""), 1);
    EXPECT_EQ(log.count("redbinLaseRead333== \"" + last + "\""), 1);
    EXPECT_EQ(log.count("redbinReRead222== \"" + last + "\""), 1);
}

// ---- the current error text ----

TEST_F(ControllerFilesTest, ErrorTextArrivesWhole)
{
    connectClient(1);
    const QByteArray message = countingBytes(250);
    sim->files()->setErrorText(4, message);
    char text[CallerBuffer::TextBytes + 8];
    std::memset(text, 'x', sizeof text);
    EXPECT_EQ(client->getCurErrString(4, 0x107, text), 0);
    EXPECT_EQ(QByteArray(text), message);
    const std::vector<QByteArray> heads = framesWith(*sim, 0x85, 1);
    ASSERT_EQ(heads.size(), 1u);
    EXPECT_EQ(heads[0].mid(9), QByteArray("\x04\x07", 2)) << "channel and value, one byte each";
    EXPECT_EQ(framesWith(*sim, 0x85, 2).size(), 3u);
}

TEST_F(ControllerFilesTest, ErrorTextOfLengthZeroCopiesNothing)
{
    connectClient(1);
    sim->files()->setErrorText(1, "");
    char text[8];
    std::memset(text, 'x', sizeof text);
    EXPECT_EQ(client->getCurErrString(1, 0, text), 0);
    EXPECT_EQ(text[0], '\0');
    EXPECT_EQ(text[1], 'x') << "only the terminator is written";
    EXPECT_TRUE(framesWith(*sim, 0x85, 2).empty());
}

TEST_F(ControllerFilesTest, ErrorTextFailures)
{
    connectClient(1);
    sim->files()->setErrorText(1, countingBytes(150));
    char text[CallerBuffer::TextBytes];
    sim->scriptReply(0x85, 1, scriptOf(ReplyScript::Status, 1, 0, 1));
    std::memset(text, 'x', sizeof text);
    EXPECT_EQ(client->getCurErrString(1, 0, text), ResultCode::ErrorTextHeadFailed);
    EXPECT_EQ(text[0], '\0') << "a failed call leaves an empty text";
    EXPECT_TRUE(framesWith(*sim, 0x85, 2).empty());

    // A second piece that is no reply at all (an unknown code).
    sim->scriptReply(0x85, 2, rawReply(tcpFrame(QByteArray("\xC1", 1)), 1));
    sim->scriptReply(0x85, 2, scriptOf(ReplyScript::Status, 0, 0, 1));
    std::memset(text, 'x', sizeof text);
    EXPECT_EQ(client->getCurErrString(1, 0, text), ResultCode::ErrorTextDataFailed);
    EXPECT_EQ(text[0], '\0');

    EXPECT_EQ(client->getCurErrString(1, 0, nullptr), ResultCode::ArgumentOutOfRange);
    ASSERT_TRUE(client->tcpDisconnect());
    EXPECT_EQ(client->getCurErrString(1, 0, text), ResultCode::NotConnected);
}

// A controller that announces more than it sends is asked only a few times in vain.
TEST_F(ControllerFilesTest, ErrorTextThatNeverComesIsGivenUp)
{
    connectClient(1);
    sim->files()->setErrorText(2, "abc", 50);
    char text[CallerBuffer::TextBytes];
    std::memset(text, 'x', sizeof text);
    EXPECT_EQ(client->getCurErrString(2, 0, text), ResultCode::ErrorTextDataFailed);
    EXPECT_EQ(text[0], '\0');
    EXPECT_EQ(framesWith(*sim, 0x85, 2).size(), size_t(1 + AsynchronousClient::kErrorTextEmptyReplies));
}

// No more than the caller's buffer of CallerBuffer::TextBytes is written, terminator included,
// and no more is asked for than fits it.
TEST_F(ControllerFilesTest, LongErrorTextIsCutToTheBuffer)
{
    connectClient(1);
    const QByteArray message = countingBytes(2000);
    sim->files()->setErrorText(5, message);
    char text[CallerBuffer::TextBytes + 16];
    std::memset(text, 'x', sizeof text);
    EXPECT_EQ(client->getCurErrString(5, 0, text), 0);
    EXPECT_EQ(QByteArray(text), message.left(CallerBuffer::TextBytes - 1));
    for (size_t i = CallerBuffer::TextBytes; i < sizeof text; ++i)
        ASSERT_EQ(text[i], 'x') << "written past the buffer at " << i;
    EXPECT_EQ(framesWith(*sim, 0x85, 2).size(), size_t((CallerBuffer::TextBytes - 1 + 99) / 100));
}

// ---- file information ----

TEST_F(ControllerFilesTest, FileInformationByTypeAndChannel)
{
    connectClient(1);
    struct Case { int32_t type; int32_t channel; const char* name; const char* path; };
    const Case cases[] = {
        {0, 3, "P1", "/home/root/veko/usr/sys0003/plc/P1"},
        {1, 12, "O100", "/home/root/veko/usr/sys0012/program/O100"},
        {1, 9, "O9", "/home/root/veko/usr/sys0009/program/O9"},
    };
    for (const Case& c : cases) {
        sim->clearReceived();
        sim->files()->setFileInfo(c.path, QByteArray("size=12 d\xE9j\xE0"));
        char info[CallerBuffer::TextBytes];
        std::memset(info, 'x', sizeof info);
        client->isSetFileOk = true;
        EXPECT_EQ(client->getCncFileInf(c.type, c.channel, c.name, info), 0) << c.path;
        EXPECT_STREQ(info, "size=12 d\xC3\xA9j\xC3\xA0") << "Latin-1 answer, UTF-8 to the caller";
        EXPECT_FALSE(client->isSetFileOk);
        const std::vector<QByteArray> asked = framesWithCode(*sim, 0x84);
        ASSERT_EQ(asked.size(), 1u);
        EXPECT_EQ(asked[0].mid(8), QByteArray(c.path));
    }
}

TEST_F(ControllerFilesTest, FileInformationRefusals)
{
    connectClient(1);
    char info[CallerBuffer::TextBytes];
    std::memset(info, 'x', sizeof info);
    EXPECT_EQ(client->getCncFileInf(1, 1, "nothing", info), ResultCode::ReplyFailed) << "unknown path";
    EXPECT_EQ(info[0], '\0');
    sim->clearReceived();
    for (int32_t type : {2, -1}) {
        std::memset(info, 'x', sizeof info);
        EXPECT_EQ(client->getCncFileInf(type, 1, "P1", info), ResultCode::ArgumentOutOfRange);
        EXPECT_EQ(info[0], '\0');
    }
    // Latin-1 names go byte for byte; a name with other characters would name another file.
    EXPECT_EQ(client->getCncFileInf(0, 1, QString::fromUtf8("Ω.plc"), info), ResultCode::ArgumentOutOfRange);
    EXPECT_EQ(client->getCncFileInf(0, 1, "P1", nullptr), ResultCode::ArgumentOutOfRange);
    EXPECT_TRUE(sim->receivedFrames().isEmpty());
    EXPECT_EQ(client->getCncFileInf(0, 1, QString::fromUtf8("é"), info), ResultCode::ReplyFailed);
    EXPECT_EQ(framesWithCode(*sim, 0x84).at(0).mid(8), QByteArray("/home/root/veko/usr/sys0001/plc/\xE9"));

    sim->scriptReply(0x84, -1, scriptOf(ReplyScript::Silence, 0, 0, 1));
    EXPECT_EQ(client->getCncFileInf(0, 1, "P1", info), ResultCode::NoValidReply);
    ASSERT_TRUE(client->tcpDisconnect());
    EXPECT_EQ(client->getCncFileInf(0, 1, "P1", info), ResultCode::NotConnected);
}

}
