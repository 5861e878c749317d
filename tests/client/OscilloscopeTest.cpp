// Oscilloscope sampling: selection, transfer on and off, and the points of a request.
#include "ClientTestSupport.h"
#include "CommCodes.h"
#include "ControllerFiles.h"
#include "FrameFields.h"

#include <algorithm>

namespace {

using OscilloscopeTest = ClientFixture;

QList<int32_t> samples(int count)
{
    QList<int32_t> list;
    for (int i = 0; i < count; ++i)
        list.append(-1000 + 37 * i);
    return list;
}

TEST_F(OscilloscopeTest, SelectionAndTransfer)
{
    connectClient(1);
    client->errCallback = &recordError;
    LogCapture log;
    EXPECT_EQ(client->setOscAxis(1, 2, 3), 0);
    EXPECT_EQ(log.count("setOscAxis tmpChn== 1 tmpAxis== 2 tmpType== 3"), 1);
    EXPECT_EQ(sim->files()->oscSelection(), (QList<int32_t>{1, 2, 3}));
    EXPECT_EQ(framesWith(*sim, 'i', 1).at(0).mid(9), le32(1) + le32(2) + le32(3));
    EXPECT_EQ(client->setOscTransEn(1), 0);
    EXPECT_TRUE(sim->files()->oscEnabled());
    EXPECT_EQ(client->setOscTransEn(0), 0);
    EXPECT_FALSE(sim->files()->oscEnabled());

    sim->scriptReply('i', 1, scriptOf(ReplyScript::Status, 0, 0, 1));
    EXPECT_EQ(client->setOscAxis(1, 2, 3), ResultCode::ControllerFailure);
    EXPECT_EQ(reportedError().errorCmd, ErrorCmd::FileStep);
    EXPECT_EQ(reportedError().detail, "SetOscAxis error.");
    sim->scriptReply('i', 2, scriptOf(ReplyScript::Status, 4, 0, 1));
    EXPECT_EQ(client->setOscTransEn(1), 104);
}

// Only the received points are written; the entries after them keep what they held.
TEST_F(OscilloscopeTest, PointsFillTheFirstEntries)
{
    connectClient(1);
    const QList<int32_t> list = samples(40);
    sim->files()->setOscPoints(list);
    ASSERT_EQ(client->setOscTransEn(1), 0);
    for (int32_t first : {0, 5}) {
        int32_t points[16];
        std::fill(std::begin(points), std::end(points), -7);
        EXPECT_EQ(client->getOscPoint(first, points, 10), 0);
        for (int i = 0; i < 10; ++i)
            EXPECT_EQ(points[i], list[first + i]) << i;
        for (int i = 10; i < 16; ++i)
            EXPECT_EQ(points[i], -7) << i;
    }
    const std::vector<QByteArray> asked = framesWith(*sim, 'i', 3);
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[1].mid(9), le32(5) + le32(10));

    // Fewer points than asked for: only those.
    int32_t points[16];
    std::fill(std::begin(points), std::end(points), -7);
    EXPECT_EQ(client->getOscPoint(36, points, 10), 0);
    EXPECT_EQ(points[3], list[39]);
    EXPECT_EQ(points[4], -7);
}

TEST_F(OscilloscopeTest, CountOutsideOneToSixtyFourSendsNothing)
{
    connectClient(1);
    ASSERT_EQ(client->setOscTransEn(1), 0);
    sim->clearReceived();
    int32_t points[70] = {};
    for (int32_t count : {0, 65, -1}) {
        EXPECT_EQ(client->getOscPoint(0, points, count), ResultCode::NoValidReply) << count;
    }
    EXPECT_EQ(client->getOscPoint(0, nullptr, 10), ResultCode::ArgumentOutOfRange);
    EXPECT_TRUE(sim->receivedFrames().isEmpty());
}

TEST_F(OscilloscopeTest, NoPointGivesOneHundredTwelve)
{
    connectClient(1);
    client->errCallback = &recordError;
    sim->files()->setOscPoints(samples(64));
    int32_t points[64];
    std::fill(std::begin(points), std::end(points), -7);
    // Transfer off: the controller refuses with state 0, which is reported.
    EXPECT_EQ(client->getOscPoint(0, points, 10), ResultCode::NoOscPoint);
    EXPECT_EQ(reportedError().errorCmd, ErrorCmd::VariableRead);
    EXPECT_EQ(reportedError().detail, "onRecCmdGetOscPoint error.");
    ASSERT_EQ(client->setOscTransEn(1), 0);
    // More than 60 announced: none taken.
    EXPECT_EQ(client->getOscPoint(0, points, 61), ResultCode::NoOscPoint);
    // A state other than 0 and 1.
    sim->scriptReply('i', 3, scriptOf(ReplyScript::Status, 2, 0, 1));
    EXPECT_EQ(client->getOscPoint(0, points, 10), ResultCode::NoOscPoint);
    EXPECT_TRUE(std::all_of(std::begin(points), std::end(points), [](int32_t p) { return p == -7; }));
    // No reply at all is no valid reply.
    sim->scriptReply('i', 3, scriptOf(ReplyScript::Silence, 0, 0, 1));
    EXPECT_EQ(client->getOscPoint(0, points, 10), ResultCode::NoValidReply);
}

// A reply with more points than asked for writes no more than were asked for.
TEST_F(OscilloscopeTest, MorePointsThanAskedForStayOutOfTheArray)
{
    connectClient(1);
    QByteArray pdu("i\x03\x01\x0C", 4);
    for (int i = 0; i < 12; ++i)
        pdu += le32(100 + i);
    sim->scriptReply('i', 3, rawReply(tcpFrame(pdu)));
    int32_t points[12];
    std::fill(std::begin(points), std::end(points), -7);
    EXPECT_EQ(client->getOscPoint(0, points, 10), 0);
    EXPECT_EQ(points[9], 109);
    EXPECT_EQ(points[10], -7);
    EXPECT_EQ(points[11], -7);
}

// An asynchronous call only queues the request: no point can be there when it returns.
TEST_F(OscilloscopeTest, AsynchronousCallHasNoPointYet)
{
    connectClient(0);
    int32_t points[10] = {};
    EXPECT_EQ(client->getOscPoint(0, points, 10), ResultCode::NoOscPoint);
    EXPECT_TRUE(waitUntil([&] { return framesWith(*sim, 'i', 3).size() == 1; }, 2000)) << "the worker sends it";
}

}
