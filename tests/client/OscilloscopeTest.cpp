// Oscilloscope sampling: selection, transfer on and off, and the points of a request. The waits
// run at a quarter of their length here.
#include "ClientTestSupport.h"
#include "CommCodes.h"
#include "ControllerFiles.h"
#include "FrameFields.h"

#include <algorithm>
#include <cstring>

namespace {

class OscilloscopeTest : public ClientFixture
{
protected:
    ScaledWaits waits{kTestWaitScale};
};

TEST_F(OscilloscopeTest, SelectionAndTransfer)
{
    connectClient(1);
    client->setErrCallback(&recordError);
    EXPECT_EQ(client->setOscAxis(1, 2, 3), 0);
    EXPECT_EQ(sim->files()->oscSelection(), (QList<int32_t>{1, 2, 3}));
    EXPECT_EQ(client->setOscTransEn(1), 0);
    EXPECT_TRUE(sim->files()->oscEnabled());
    EXPECT_EQ(client->setOscTransEn(0), 0);
    EXPECT_FALSE(sim->files()->oscEnabled());
    sim->scriptReply('i', 1, scriptOf(ReplyScript::Status, 0, 0, 1));
    EXPECT_EQ(client->setOscAxis(1, 2, 3), 100);
    EXPECT_EQ(reportedError().errorCmd, ErrorCmd::FileStep);
    EXPECT_EQ(reportedError().detail, "SetOscAxis error.");
    sim->scriptReply('i', 2, scriptOf(ReplyScript::Status, 4, 0, 1));
    EXPECT_EQ(client->setOscTransEn(1), 104);
}

// Only the received points are written, at most as many as asked for; the entries after them
// keep what they held. 112 when no point came, nothing sent for a count outside 1..64.
TEST_F(OscilloscopeTest, PointsOfARequest)
{
    connectClient(1);
    client->setErrCallback(&recordError);
    QList<int32_t> list;
    QByteArray twelve("i\x03\x01\x0C", 4); // a reply with 12 points
    for (int i = 0; i < 64; ++i) {
        list.append(-1000 + 37 * i);
        if (i < 12)
            twelve += le32(list.back());
    }
    sim->files()->setOscPoints(list);
    const auto script = [&](ReplyScript s) { return [this, s] { sim->scriptReply('i', 3, s); }; };
    const struct { const char* what; std::function<void()> setup; int32_t first, count, expected; int written; bool sent; } rows[] = {
        {"transfer off", [] {}, 0, 10, 112, 0, true},
        {"first ten", [&] { ASSERT_EQ(client->setOscTransEn(1), 0); }, 0, 10, 0, 10, true},
        {"from five", [] {}, 5, 10, 0, 10, true},
        {"fewer than asked", [] {}, 60, 10, 0, 4, true},
        {"more than 60 announced", [] {}, 0, 61, 112, 0, true},
        {"state 2", script(scriptOf(ReplyScript::Status, 2, 0, 1)), 0, 10, 112, 0, true},
        {"silent", script(scriptOf(ReplyScript::Silence, 0, 0, 1)), 0, 10, 111, 0, true},
        {"more than asked", script(rawReply(tcpFrame(twelve))), 0, 10, 0, 10, true},
        {"count 0", [] {}, 0, 0, 111, 0, false},
        {"count 65", [] {}, 0, 65, 111, 0, false},
        {"count -1", [] {}, 0, -1, 111, 0, false},
    };
    for (const auto& r : rows) {
        r.setup();
        sim->clearReceived();
        int32_t points[70];
        std::fill(std::begin(points), std::end(points), -7);
        EXPECT_EQ(client->getOscPoint(r.first, points, r.count), r.expected) << r.what;
        for (int i = 0; i < 70; ++i)
            EXPECT_EQ(points[i], i < r.written ? list[r.first + i] : -7) << r.what << " " << i;
        const std::vector<QByteArray> asked = framesWith(*sim, 'i', 3);
        ASSERT_EQ(asked.size(), r.sent ? 1u : 0u) << r.what;
        if (r.sent) {
            EXPECT_EQ(asked[0].mid(9), le32(r.first) + le32(r.count)) << r.what;
        }
        if (!strcmp(r.what, "transfer off")) { // the controller refuses with state 0, which is reported
            EXPECT_EQ(reportedError().errorCmd, ErrorCmd::VariableRead);
            EXPECT_EQ(reportedError().detail, "onRecCmdGetOscPoint error.");
        }
    }
    EXPECT_EQ(client->getOscPoint(0, nullptr, 10), 1);
    // An asynchronous call only queues the request: no point can be there when it returns.
    connectClient(0);
    int32_t points[10] = {};
    EXPECT_EQ(client->getOscPoint(0, points, 10), 112);
    EXPECT_TRUE(waitUntil([&] { return framesWith(*sim, 'i', 3).size() == 1; }, 2000)) << "the worker sends it";
}

} // namespace
