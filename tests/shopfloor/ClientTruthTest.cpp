// What the library tells the application about its controllers: the address it reaches, the values it
// has really read, the polling it has been told to stop, and how long a dead controller holds it up.
#include "ApiTestSupport.h"
#include "CommCodes.h"

#include <chrono>
#include <functional>
#include <set>

namespace {
constexpr quint16 kOtherPort = 61017; // no simulator listens here unless a test starts one
constexpr int kPortCnc = 31;
using ClientTruthTest = ApiFixture;
} // namespace

// "host:port" reaches a controller on that port; a malformed port is refused before anything starts.
TEST_F(ClientTruthTest, AddressCarriesItsPort)
{
    SimulatedController gateway;
    ASSERT_TRUE(gateway.start(sim->address(), kOtherPort));
    QByteArray withPort = (sim->address() + ":" + QString::number(kOtherPort)).toLatin1();
    ASSERT_TRUE(addTargetCnc(kPortCnc, 1, withPort.data(), 0));
    EXPECT_TRUE(connect(kPortCnc));
    const CncLong address = 1000012, value = 4321;
    EXPECT_EQ(writeVars(const_cast<CncLong*>(&address), 1, const_cast<CncLong*>(&value), kPortCnc), 0);
    EXPECT_EQ(gateway.variable(address), value);
    disconnect(kPortCnc);
    removeTargetCnc(kPortCnc);

    AcmRemoteBuffer* buffer = bufOpen(withPort.data(), 1, 1);
    ASSERT_NE(buffer, nullptr);
    EXPECT_TRUE(waitUntil([&] { return getBufState(buffer) == 5; }, 3000)) << getBufStateInf(buffer);
    bufClose(buffer);
    EXPECT_TRUE(sim->receivedFrames().isEmpty()) << "the controller on the default port heard nothing";

    const QByteArray h = sim->address().toLatin1();
    for (QByteArray bad : {h + ":", h + ":0", h + ":65536", h + ":6x", h + ": 60000", h + ":+1", h + ":600000",
                           QByteArray(":60000"), QByteArray("serial:"), QByteArray("serial:/dev/null,9601"),
                           QByteArray("serial:/dev/null,+9600"), QByteArray("serial:/dev/null,9600,9N1"),
                           QByteArray("serial:/dev/null,9600,8X1"), QByteArray("serial:/dev/null,9600,8N3"),
                           QByteArray("serial:/dev/null,9600,8N1,crc"), QByteArray("serial:/dev/null,9600,8N1,colon,")}) {
        EXPECT_FALSE(addTargetCnc(kPortCnc, 1, bad.data(), 0)) << bad.constData();
        EXPECT_EQ(bufOpen(bad.data(), 1, 1), nullptr) << bad.constData();
    }
    QByteArray noPort("serial:/dev/acm-no-such-port,9600,7E2,colon");
    EXPECT_EQ(bufOpen(noPort.data(), 1, 1), nullptr) << "a serial line has no connection to stream on";
    ASSERT_TRUE(addTargetCnc(kPortCnc, 1, noPort.data(), 0));
    EXPECT_FALSE(connect(kPortCnc));
    removeTargetCnc(kPortCnc);
}

namespace {
constexpr CncLong kBitChannel = 1, kBitTable = 0, kBit = 5;
constexpr int32_t kBitWord = 1032048; // channel 1, table 0, bits 0..31
constexpr uint8_t kReadCode = 'B';

CncLong readOne(bool bit, CncLong* out)
{
    CncLong address = 1000100, b = kBit;
    return bit ? readBits(kBitChannel, kBitTable, &b, 1, out, ApiFixture::kCnc)
               : readVars(&address, 1, out, ApiFixture::kCnc);
}
} // namespace

// An asynchronous read gives a value only once a poll has read it since registration and since
// the link was last opened; until then 111, and the caller's values stay as they were.
TEST_F(ClientTruthTest, UnreadValueIsNotGivenAsRead)
{
    ScaledWaits waits{kTestWaitScale};
    CncLong address = 1000100, bit = kBit;
    sim->setVariable(address, 1234);
    sim->setVariable(kBitWord, 1 << kBit);
    sim->scriptReply(kReadCode, -1, scriptOf(ReplyScript::Silence, 0, 0, -1));
    addAndConnect(1);
    ASSERT_EQ(registerVars(&address, 1, kCnc), 0);
    ASSERT_EQ(registerBits(kBitChannel, kBitTable, &bit, 1, kCnc), 0);
    const struct { bool bit; CncLong held; } rows[] = {{false, 1234}, {true, 1}};
    for (const auto& row : rows) {
        CncLong out = -7;
        EXPECT_EQ(readOne(row.bit, &out), ResultCode::NoValidReply) << row.bit;
        EXPECT_EQ(out, -7) << row.bit;
    }
    EXPECT_TRUE(getTcpConnectFlag(kCnc)) << "the link is up, even though nothing has been read";
    sim->clearScripts();
    for (const auto& row : rows) {
        CncLong out = -7;
        EXPECT_TRUE(waitUntil([&] { return readOne(row.bit, &out) == 0 && out == row.held; }, 5000)) << row.bit;
    }
    sim->scriptReply(kReadCode, -1, scriptOf(ReplyScript::Silence, 0, 0, -1));
    disconnect(kCnc);
    ASSERT_TRUE(connect(kCnc));
    for (const auto& row : rows) {
        CncLong out = -7;
        EXPECT_EQ(readOne(row.bit, &out), ResultCode::NoValidReply) << "after reconnecting, " << row.bit;
        EXPECT_EQ(out, -7) << row.bit;
    }
}

// Against a controller that answers at once a poll is nearly always under way when the
// application removes addresses; its reply must not put them back into the poll.
TEST_F(ClientTruthTest, RemovedAddressesLeaveThePoll)
{
    addAndConnect(1);
    CncLong vars[3] = {1000100, 1000101, 1000102}, bit = kBit, marker = 1000200;
    const struct { const char* name; std::function<void()> remove; std::set<int32_t> gone; } rows[] = {
        {"removeVars", [&] { EXPECT_EQ(removeVars(&vars[1], 1, kCnc), 0); }, {1000101}},
        {"removeBits", [&] { EXPECT_EQ(removeBits(kBitChannel, kBitTable, &bit, 1, kCnc), 0); }, {kBitWord}},
        {"clearVars", [&] { EXPECT_EQ(clearVars(kCnc), 0); }, {1000100, 1000101, 1000102, kBitWord}},
    };
    CncLong round = 0;
    for (const auto& row : rows) {
        ASSERT_EQ(registerVars(vars, 3, kCnc), 0);
        ASSERT_EQ(registerBits(kBitChannel, kBitTable, &bit, 1, kCnc), 0);
        CncLong out[3];
        ASSERT_TRUE(waitUntil([&] { return readVars(vars, 3, out, kCnc) == 0 && readOne(true, out) == 0; }, 5000));
        row.remove();
        sim->clearReceived();
        // Two queued writes, each seen by the controller: the worker has gone round its poll since.
        for (int i = 0; i < 2; ++i) {
            ++round;
            ASSERT_TRUE(waitUntil([&] { return writeVars(&marker, 1, &round, kCnc) == 0; }, 3000));
            ASSERT_TRUE(waitUntil([&] { return sim->variable(int32_t(marker)) == round; }, 3000)) << row.name;
        }
        const std::vector<QByteArray> polls = framesWithCode(*sim, kReadCode);
        for (size_t i = 1; i < polls.size(); ++i) // the first may be the poll under way at the call
            for (const int32_t a : readRequestAddresses(polls[i]))
                EXPECT_EQ(row.gone.count(a), 0u) << row.name << " poll " << i << " carries " << a;
        if (row.gone.size() == 4) {
            EXPECT_LE(polls.size(), 1u) << row.name;
        }
    }
}

// A controller that accepts connections but never answers costs one reply wait per call, not
// one per client: the clients of a target wait side by side, with today's results.
TEST_F(ClientTruthTest, SilentControllerCostsOneWait)
{
    ScaledWaits waits{kTestWaitScale};
    constexpr int kEightChannels = 8; // eight waits one after the other would take 8 budgets
    const int64_t kOneClientsBudgetMs = CommTiming::now().commandReplyBudgetMs + 400;
    for (const uint8_t code : {uint8_t('D'), kReadCode})
        sim->scriptReply(code, -1, scriptOf(ReplyScript::Silence, 0, 0, -1));
    QByteArray ip = address();
    const auto took = [](const std::function<bool()>& call) {
        const auto start = std::chrono::steady_clock::now();
        EXPECT_TRUE(call());
        return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    };
    const struct { const char* name; int asyncMask; } rows[] = {{"synchronous", 0}, {"asynchronous", 0x1FF}};
    for (const auto& row : rows) {
        ASSERT_TRUE(addTargetCnc(kCnc, kEightChannels, ip.data(), row.asyncMask));
        EXPECT_LE(took([] { return connect(kCnc); }), kOneClientsBudgetMs) << row.name;
        EXPECT_TRUE(waitUntil([&] { return sim->requestCount('D') == kEightChannels + 2; }, 3000))
            << row.name << ": every client wrote its link marker";
        EXPECT_LE(took([] { return disconnect(kCnc); }), kOneClientsBudgetMs) << row.name;
        EXPECT_LE(took([] { return removeTargetCnc(kCnc); }), kOneClientsBudgetMs) << row.name;
        sim->clearReceived();
    }
}
