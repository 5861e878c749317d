// The simulator's controller model: reply bytes for requests built by the library's own
// codec, and the machine behaviour that tests and demos rely on.
#include "ControllerModel.h"
#include "VProtocol_Client.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

namespace {
struct Requests : VProtocol_Client
{
    uint8_t out[500] = {};
    uint8_t in[500] = {};
    Requests() { sendBuf = out; recvBuf = in; }
    QByteArray frame(int32_t n) const { return QByteArray(reinterpret_cast<const char*>(out), n); }
};

QByteArray pdu(std::initializer_list<int> bytes)
{
    QByteArray r;
    for (int b : bytes)
        r.append(char(b));
    return r;
}

// The TCP framing around a reply's fields: four zero bytes, the length after them, a zero.
QByteArray tcp(const QByteArray& fields)
{
    QByteArray r(7, '\0');
    r[4] = char(fields.size() + 1);
    return r + fields;
}

QByteArray le(int32_t v)
{
    QByteArray r;
    for (int i = 0; i < 4; ++i)
        r.append(char(uint32_t(v) >> (8 * i)));
    return r;
}

class ControllerModelTest : public ::testing::Test
{
protected:
    QByteArray ask(const std::function<int32_t(Requests&)>& build, int status = ControllerModel::kDefaultStatus)
    {
        const int32_t n = build(codec);
        EXPECT_GT(n, 0);
        return model.reply(codec.frame(n), status);
    }

    Requests codec;
    ControllerModel model;
};

int32_t tailInt(const QByteArray& reply)
{
    const auto* p = reinterpret_cast<const uint8_t*>(reply.constData()) + reply.size() - 4;
    return int32_t(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24);
}

TEST_F(ControllerModelTest, RepliesEchoCodeAndSubCodeByteExact)
{
    EXPECT_EQ(ask([](Requests& r) { return r.CmdJogMotionV_Run(1, 0, 100, 0, 0); }), tcp(pdu({'r', 1, 0})));
    EXPECT_EQ(ask([](Requests& r) { return r.CmdCheckTcpWdt(); }), tcp(pdu({'p', 1}))) << "the watchdog's alive is 1";
    EXPECT_EQ(ask([](Requests& r) { return r.CmdPrgStop(2); }, 3), tcp(pdu({'t', 2, 3}))) << "a scripted state";
    EXPECT_EQ(ask([](Requests& r) { return r.CmdReset(1); }), tcp(pdu({'f', 3, 0, 0})));
    EXPECT_TRUE(model.reply(QByteArray("\0\0\0\0\x01\0\0", 7)).isEmpty()) << "no command byte, no reply";
}

TEST_F(ControllerModelTest, VariablesAreStoredAndBadAddressesRefused)
{
    const int32_t addresses[2] = {1000001, 2000002};
    const int32_t values[2] = {-5, 77};
    EXPECT_EQ(ask([&](Requests& r) { return r.CmdWriteVars(addresses, values, 2); }), tcp(pdu({'D'})));
    EXPECT_EQ(model.variable(2000002), 77);
    const QByteArray read = ask([&](Requests& r) { return r.CmdReadVars(addresses, 2); });
    EXPECT_EQ(read, tcp(pdu({'B', 2}) + le(-5) + le(77))) << "values follow the count";
    // A frame with a malformed address (built by hand: the codec refuses such addresses).
    const QByteArray bad = tcp(pdu({'B', 1}) + le(99999999));
    EXPECT_EQ(model.reply(bad), tcp(pdu({0xC2})));
}

TEST_F(ControllerModelTest, ContinuousJogMovesUntilStopped)
{
    ask([](Requests& r) { return r.CmdJogMotionV_Run(1, 2, 1000, 1, 0); });
    std::this_thread::sleep_for(std::chrono::milliseconds(120));
    ask([](Requests& r) { return r.CmdJogMotionV_Stop(1, 2); });
    const int32_t stopped = model.axisPosition(1, 2);
    EXPECT_LE(stopped, -100) << "1000 units/s in the negative direction for about 120 ms";
    EXPECT_GE(stopped, -1000);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(model.axisPosition(1, 2), stopped);
    EXPECT_EQ(tailInt(ask([](Requests& r) { return r.CmdGetAxisCoord(1, 2, 0); })), stopped);
    EXPECT_EQ(tailInt(ask([](Requests& r) { return r.CmdJogMotionP_MotionIsStop(1, 2, 0); })), 1);
}

TEST_F(ControllerModelTest, HomingTakesTimeAndEndsAtZero)
{
    ask([](Requests& r) { return r.CmdJogMotionP_Run(1, 0, 100, 300, 0, 0); });
    EXPECT_EQ(model.axisPosition(1, 0), 300);
    ask([](Requests& r) { return r.CmdHomeRunAxis(1, 0); });
    EXPECT_EQ(tailInt(ask([](Requests& r) { return r.CmdHomeAxisIsInProcess(1, 0); })), 1);
    EXPECT_EQ(tailInt(ask([](Requests& r) { return r.CmdHomeAxisIsEnd(1, 0); })), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(AxisModel::kHomingMs + 20));
    EXPECT_EQ(tailInt(ask([](Requests& r) { return r.CmdHomeAxisIsEnd(1, 0); })), 1);
    EXPECT_EQ(model.axisPosition(1, 0), 0);
}

TEST_F(ControllerModelTest, EmergencyStopRaisesAlarmAndRefusesMotionUntilReset)
{
    ask([](Requests& r) { return r.CmdPrgCycleStart(1); });
    EXPECT_TRUE(model.isRunning());
    ask([](Requests& r) { return r.CmdEmStopSet(2, 1); });
    EXPECT_FALSE(model.isRunning());
    EXPECT_EQ(ask([](Requests& r) { return r.CmdAlarmRead(1); }),
              tcp(pdu({'t', 10, 0}) + le(1) + le(2) + le(ControllerModel::kEmergencyAlarm)));
    EXPECT_EQ(ask([](Requests& r) { return r.CmdJogMotionV_Run(2, 0, 10, 0, 0); }), tcp(pdu({'r', 1, 2})));
    ask([](Requests& r) { return r.CmdReset(1); });
    EXPECT_EQ(tailInt(ask([](Requests& r) { return r.CmdAlarmRead(1); })), ControllerModel::kEmergencyAlarm)
        << "kept while the stop is still engaged";
    ask([](Requests& r) { return r.CmdEmStopSet(2, 0); });
    ask([](Requests& r) { return r.CmdPrgReset(1); });
    EXPECT_EQ(tailInt(ask([](Requests& r) { return r.CmdAlarmRead(1); })), 0);
    EXPECT_EQ(ask([](Requests& r) { return r.CmdJogMotionV_Run(1, 0, 10, 0, 0); }), tcp(pdu({'r', 1, 0})));
}

TEST_F(ControllerModelTest, AxisMasksReportMotionPerAxis)
{
    ask([](Requests& r) { return r.CmdJogMotionV_Para(1, 3, 500, 0, 0); });
    ask([](Requests& r) { return r.CmdJogMotionV_AxesRun(1, 0, 1 << 3); });
    const QByteArray moving = ask([](Requests& r) { return r.CmdGetAxesMotionStatus(1, 0, 0xFF); });
    EXPECT_EQ(moving, tcp(pdu({'v', 2, 0}) + le(0) + le(1 << 3)));
    ask([](Requests& r) { return r.CmdJogMotionV_AxesStop(1, 0, 1 << 3); });
    EXPECT_EQ(ask([](Requests& r) { return r.CmdGetAxesMotionStatus(1, 0, 0xFF); }),
              tcp(pdu({'v', 2, 0}) + le(0) + le(0)));
}
}
