// A target or a client and the simulator on the two ends of a socat pty pair, in both serial
// framings: a target reached by a serial address, frames whose content looks like frame ends,
// reply faults, and controller files of open length.
#include "AsyncCommModule.h"
#include "AsynchronousClient.h"
#include "CommCodes.h"
#include "ControllerFiles.h"
#include "FrameFields.h"
#include "SerialLine.h"
#include "TestSupport.h"
#include "TransferTestSupport.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStringList>

#include <memory>

using namespace CommandTable; // the rows and slots of client->command

namespace {
// The two serial framings, as the client selects them.
struct Framing
{
    const char* word; // as a serial address names it
    int32_t frameMode;
    const char* name;
};

const Framing kFramings[2] = {{"station", 1, "StationCrc"}, {"colon", 2, "ColonLrc"}};
constexpr int kSerialCnc = 41;

// A client on one end of a socat pty pair, the simulator answering on the other end in the
// framing of the parameter. The client has no TCP link unless a test makes one.
class SerialLinkTest : public ::testing::TestWithParam<Framing>
{
protected:
    void SetUp() override
    {
        if (QStandardPaths::findExecutable(QStringLiteral("socat")).isEmpty())
            GTEST_SKIP() << "socat is not on PATH; the serial tests need it to make a pty pair";
        socat.setReadChannel(QProcess::StandardError);
        socat.start(QStringLiteral("socat"), {"-d", "-d", "pty,raw,echo=0", "pty,raw,echo=0"});
        ASSERT_TRUE(socat.waitForStarted(5000));
        const QRegularExpression ptyLine(QStringLiteral("PTY is (\\S+)")); // socat -d -d names each end so
        QByteArray text;
        QElapsedTimer clock;
        clock.start();
        while (ends.size() < 2 && clock.elapsed() < 5000) {
            socat.waitForReadyRead(100);
            text += socat.readAllStandardError();
            ends.clear();
            for (auto it = ptyLine.globalMatch(QString::fromLocal8Bit(text)); it.hasNext();)
                ends << it.next().captured(1);
        }
        ASSERT_EQ(ends.size(), 2) << "socat did not name two ptys";
        ASSERT_TRUE(sim->start());
        ASSERT_TRUE(sim->startSerial(end(1), GetParam().frameMode));
        SerialSettings settings;
        settings.frameMode = GetParam().frameMode;
        client->useLink(SerialLine::user(std::make_shared<SerialLine>(settings)), settings.frameMode);
        ASSERT_EQ(client->openLink(address()), AsynchronousClient::LinkOpening::Opened);
    }
    void TearDown() override
    {
        client.reset();
        sim.reset();
        socat.kill(); // a pty pair holds nothing to flush
        socat.waitForFinished(2000);
    }
    // The pty of end 0 (the client's) or 1 (the simulator's).
    QString end(int index) const { return ends.value(index); }
    // The client's end as a serial address in the framing of the parameter.
    QByteArray address() const { return "serial:" + end(0).toLocal8Bit() + ",115200,8N1," + GetParam().word; }

    QProcess socat;
    QStringList ends;
    std::unique_ptr<SimulatedController> sim{new SimulatedController};
    std::unique_ptr<AsynchronousClient> client{new AsynchronousClient};
};

constexpr uint8_t kJog = 'r';

// A target whose address names the line: every client takes turns on it, from connect to
// disconnect, and a connect after that opens it again.
TEST_P(SerialLinkTest, TargetReachedByItsSerialAddress)
{
    client.reset(); // the port is the target's now
    ASSERT_TRUE(addTargetCnc(kSerialCnc, 2, address().constData(), 0));
    ASSERT_TRUE(connect(kSerialCnc));
    EXPECT_EQ(sim->variable(1110037), 1) << "the link marker";
    CncLong addresses[] = {1000001, 2000002};
    CncLong written[] = {0x0A3A0A01, -5};
    EXPECT_EQ(writeVars(addresses, 2, written, kSerialCnc), 0);
    EXPECT_EQ(sim->variable(addresses[1]), written[1]);
    sim->setVariable(addresses[0], 77);
    CncLong read[2] = {};
    EXPECT_EQ(readVars(addresses, 2, read, kSerialCnc), 0);
    EXPECT_EQ(read[0], 77);
    const QByteArray text = programOf(900);
    EXPECT_EQ(uploadFile(2, 2, "S1", text.constData(), kSerialCnc), 0);
    EXPECT_EQ(sim->programText(2, "S1"), text);
    ASSERT_TRUE(disconnect(kSerialCnc));
    EXPECT_EQ(sim->variable(1110037), 0);
    EXPECT_EQ(readVars(addresses, 2, read, kSerialCnc), 7);
    sim->setRunningProgram(1, "P7");
    EXPECT_STREQ(getRuningPrg(1, kSerialCnc), "P7") << "the aux client keeps the line open";
    ASSERT_TRUE(connect(kSerialCnc)) << "opens again";
    EXPECT_EQ(readVars(addresses, 2, read, kSerialCnc), 0);
    EXPECT_TRUE(removeTargetCnc(kSerialCnc));
}

TEST_P(SerialLinkTest, VariablesRoundTrip)
{
    // Values with line feeds, ':' and station bytes inside must not end or restart a frame.
    const int32_t addresses[] = {1000001, 1000002, 1000003, 1000004};
    const int32_t written[] = {123456789, -5, 0x0A0A0A0A, 0x3A0A013A};
    ASSERT_EQ(client->writeVars(addresses, 4, written), 0);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(sim->variable(addresses[i]), written[i]) << addresses[i];
    sim->setVariable(1000002, 0x0A3A0A01);
    int32_t read[4] = {};
    ASSERT_EQ(client->readVars(addresses, 4, read), 0);
    EXPECT_EQ(read[0], written[0]);
    EXPECT_EQ(read[1], 0x0A3A0A01);
    EXPECT_EQ(read[2], written[2]);
    EXPECT_EQ(read[3], written[3]);
}

// Each reply fault gives 111 within the three waits, and a late reply (or the real one after an
// unusable frame) never answers the next request; an upload whose append reply is corrupt stops there, and the next arrives whole.
TEST_P(SerialLinkTest, ReplyFaultsGive111AndTheLinkRecovers)
{
    ScaledWaits waits(kTestWaitScale);
    const int budget = CommTiming::now().commandReplyBudgetMs;
    ReplyScript stray = scriptOf(ReplyScript::Before, 0, 50, 1); // the real reply lands in the next wait
    stray.raw = tcpFrame(QByteArray("\x5A\x01\x02", 3));
    struct Row
    {
        const char* what;
        ReplyScript script;
        int minMs;
    };
    const Row rows[] = {
        {"silence", scriptOf(ReplyScript::Silence, 0, 0, 1), budget - 50},
        {"late", scriptOf(ReplyScript::Delay, 0, budget + 50, 1), budget - 50},
        {"bad check sum", scriptOf(ReplyScript::BadChecksum, 0, 0, 1), 0},
        {"truncated", scriptOf(ReplyScript::Truncate, 0, 0, 1), 0},
        {"a frame of unknown code first", stray, 0},
    };
    for (const Row& r : rows) {
        sim->scriptReply(kJog, 2, r.script);
        QElapsedTimer clock;
        clock.start();
        EXPECT_EQ(client->command({Msg::JogVStop}, {1, 1}), 111) << r.what;
        EXPECT_GE(clock.elapsed(), r.minMs) << r.what;
        EXPECT_LE(clock.elapsed(), budget + 900) << r.what;
        sim->scriptReply(kJog, 2, scriptOf(ReplyScript::Delay, 5, 100, 1));
        EXPECT_EQ(client->command({Msg::JogVStop}, {1, 1}), 105) << "the next request's own reply after: " << r.what;
    }
    const QByteArray text = programOf(2000);
    sim->scriptReply('d', 2, scriptOf(ReplyScript::BadChecksum, 0, 0, 1));
    sim->scriptReply('d', 2, scriptOf(ReplyScript::Status, 0, 0, 1));
    EXPECT_EQ(client->uploadFile(2, 1, "S1", text.constData()), 111);
    EXPECT_EQ(sim->requestCount('d', 2), 2) << "no block after the one whose reply was corrupt";
    EXPECT_EQ(sim->requestCount('d', 4), 0) << "no file end";
    EXPECT_TRUE(text.startsWith(sim->programText(1, "S1")));
    EXPECT_EQ(client->uploadFile(2, 1, "S2", text.left(1300).constData()), 0);
    EXPECT_EQ(sim->programText(1, "S2"), text.left(1300));
}

TEST_P(SerialLinkTest, SplitReplyIsCollectedUntilItsEnd)
{
    sim->scriptReply(kJog, 1, scriptOf(ReplyScript::Split, 4, 150, 1));
    EXPECT_EQ(client->command({Msg::JogVRun}, {1, 1, 1, 0, 0}), 104);
    // The first half of this reply holds line feeds of the values, not the one that ends it.
    const int32_t addresses[] = {1000010, 1000011};
    sim->setVariable(addresses[0], 0x0A0A0A0A);
    sim->setVariable(addresses[1], 0x0A0A0A0A);
    sim->scriptReply('B', -1, scriptOf(ReplyScript::Split, 0, 150, 1));
    int32_t read[2] = {};
    ASSERT_EQ(client->readVars(addresses, 2, read), 0);
    EXPECT_EQ(read[0], 0x0A0A0A0A);
    EXPECT_EQ(read[1], 0x0A0A0A0A);
}

// Frames whose shorter prefix happens to pass the check sum (a CRC whose low byte equals the
// last payload byte, or a line feed inside the payload preceded by a byte equal to the LRC)
// are still taken whole, on both sides of the line.
TEST_P(SerialLinkTest, FramesWithCheckingPrefixesAreTakenWhole)
{
    EXPECT_EQ(client->command({Msg::Watchdog, {Collapse}}, {}), 0) << "reply 01 70 01 C4 00";
    struct StatusCase { int sub; int status; int32_t expected; };
    const StatusCase statuses[] = {{3, 68, 168}, {4, 5, 105}, {2, 0x85, -23}};
    for (const StatusCase& c : statuses) {
        sim->scriptReply(kJog, c.sub, scriptOf(ReplyScript::Status, c.status, 0, 1));
        const int32_t result = c.sub == 3   ? client->command({Msg::JogVMfo}, {1, 10})
                               : c.sub == 4 ? client->command({Msg::JogVFast}, {1, 1})
                                            : client->command({Msg::JogVStop}, {1, 1});
        EXPECT_EQ(result, c.expected) << "'r' " << c.sub << " state " << c.status;
    }
    const int32_t values[] = {2013265920, 2748, 68284};
    const int32_t address = 1000020;
    for (int32_t value : values) {
        sim->setVariable(address, value);
        int32_t read = 0;
        EXPECT_EQ(client->readVars(&address, 1, &read), 0) << value;
        EXPECT_EQ(read, value);
    }
    // Requests: the simulator must not cut these either.
    for (int32_t axis : {4124, 4014}) {
        sim->clearReceived();
        EXPECT_EQ(client->command({Msg::JogVStop}, {1, axis}), 0) << axis;
        const std::vector<QByteArray> stops = framesWithCode(*sim, kJog);
        ASSERT_EQ(stops.size(), 1u) << axis;
        ASSERT_EQ(stops[0].size(), 17) << axis;
        EXPECT_EQ(int32At(stops[0], 13), axis);
    }
}

// Controller files: error-file pieces end where a TCP link ends them, and replies of open length
// (error texts, file information) arrive whole.
TEST_P(SerialLinkTest, ControllerFilesArriveWhole)
{
    const QByteArray content = programOf(250).replace('\n', ';'); // one line: no frame end inside
    sim->files()->setErrorFile(1, false, content);
    const char* text = client->getCncCurrentError(10);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(QByteArray(text), "0" + content);
    EXPECT_EQ(sim->requestCount('c', 2), 3);

    const QByteArray message = content.left(150);
    sim->files()->setErrorText(2, message);
    char buffer[CallerBuffer::TextBytes];
    EXPECT_EQ(client->getCurErrString(2, 0, buffer), 0);
    EXPECT_EQ(QByteArray(buffer), message);
    sim->files()->setFileInfo("/home/root/veko/usr/sys0001/program/O1", "size=7");
    EXPECT_EQ(client->getCncFileInf(1, 1, "O1", buffer), 0);
    EXPECT_STREQ(buffer, "size=7");
}

INSTANTIATE_TEST_SUITE_P(Framings, SerialLinkTest, ::testing::ValuesIn(kFramings),
                         [](const ::testing::TestParamInfo<Framing>& info) { return std::string(info.param.name); });
}
