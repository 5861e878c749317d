#include "AsynchronousClient.h"
#include "LogCategory.h"
#include "CommCodes.h"

#include <QDebug>

#include <vector>

// Machine-control commands: one request each, outputs copied from the reply fields.

int32_t AsynchronousClient::jogMotionV_Run(int32_t channel, int32_t axis, int32_t feed, int32_t isNegDir, int32_t isFast)
{
    return runCommand("long int AsynchronousClient::jogMotionV_Run(long int, long int, long int, long int, long int)",
                      [&] { return CmdJogMotionV_Run(channel, axis, feed, isNegDir, isFast); });
}

int32_t AsynchronousClient::jogMotionV_Stop(int32_t channel, int32_t axis)
{
    return runCommand("long int AsynchronousClient::jogMotionV_Stop(long int, long int)",
                      [&] { return CmdJogMotionV_Stop(channel, axis); });
}

int32_t AsynchronousClient::jogMotionV_MfoSet(int32_t channel, int32_t mfo)
{
    return runCommand("long int AsynchronousClient::jogMotionV_MfoSet(long int, long int)",
                      [&] { return CmdJogMotionV_MfoSet(channel, mfo); });
}

int32_t AsynchronousClient::jogMotionV_FastOnSet(int32_t channel, int32_t isFast)
{
    return runCommand("long int AsynchronousClient::jogMotionV_FastOnSet(long int, long int)",
                      [&] { return CmdJogMotionV_FastOnSet(channel, isFast); });
}

int32_t AsynchronousClient::jogMotionV_Para(int32_t channel, int32_t axis, int32_t feed, int32_t isNegDir, int32_t isFast)
{
    return runCommand("long int AsynchronousClient::jogMotionV_Para(long int, long int, long int, long int, long int)",
                      [&] { return CmdJogMotionV_Para(channel, axis, feed, isNegDir, isFast); });
}

int32_t AsynchronousClient::jogMotionV_AxesRun(int32_t channel, int32_t axisHBits, int32_t axisLBits)
{
    return runCommand("long int AsynchronousClient::jogMotionV_AxesRun(long int, long int, long int)",
                      [&] { return CmdJogMotionV_AxesRun(channel, axisHBits, axisLBits); });
}

int32_t AsynchronousClient::jogMotionV_AxesStop(int32_t channel, int32_t axisHBits, int32_t axisLBits)
{
    return runCommand("long int AsynchronousClient::jogMotionV_AxesStop(long int, long int, long int)",
                      [&] { return CmdJogMotionV_AxesStop(channel, axisHBits, axisLBits); });
}

int32_t AsynchronousClient::jogMotionP_Run(int32_t channel, int32_t axis, int32_t feed, int32_t len, int32_t isAbs, int32_t isMecCoord)
{
    return runCommand("long int AsynchronousClient::jogMotionP_Run(long int, long int, long int, long int, long int, long int)",
                      [&] { return CmdJogMotionP_Run(channel, axis, feed, len, isAbs, isMecCoord); });
}

int32_t AsynchronousClient::jogMotionP_Stop(int32_t channel, int32_t axis)
{
    return runCommand("long int AsynchronousClient::jogMotionP_Stop(long int, long int)",
                      [&] { return CmdJogMotionP_Stop(channel, axis); });
}

int32_t AsynchronousClient::jogMotionP_MfoSet(int32_t channel, int32_t mfo)
{
    return runCommand("long int AsynchronousClient::jogMotionP_MfoSet(long int, long int)",
                      [&] { return CmdJogMotionP_MfoSet(channel, mfo); });
}

int32_t AsynchronousClient::jogMotionP_Para(int32_t channel, int32_t axis, int32_t feed, int32_t len, int32_t isAbs, int32_t isMecCoord)
{
    return runCommand("long int AsynchronousClient::jogMotionP_Para(long int, long int, long int, long int, long int, long int)",
                      [&] { return CmdJogMotionP_Para(channel, axis, feed, len, isAbs, isMecCoord); });
}

int32_t AsynchronousClient::jogMotionP_AxesRun(int32_t channel, int32_t axisHBits, int32_t axisLBits)
{
    return runCommand("long int AsynchronousClient::jogMotionP_AxesRun(long int, long int, long int)",
                      [&] { return CmdJogMotionP_AxesRun(channel, axisHBits, axisLBits); });
}

int32_t AsynchronousClient::jogMotionP_AxesStop(int32_t channel, int32_t axisHBits, int32_t axisLBits)
{
    return runCommand("long int AsynchronousClient::jogMotionP_AxesStop(long int, long int, long int)",
                      [&] { return CmdJogMotionP_AxesStop(channel, axisHBits, axisLBits); });
}

int32_t AsynchronousClient::homeRunAxis(int32_t channel, int32_t axis)
{
    return runCommand("long int AsynchronousClient::homeRunAxis(long int, long int)",
                      [&] { return CmdHomeRunAxis(channel, axis); });
}

int32_t AsynchronousClient::mpgSelection(int32_t channel, int32_t mpgId)
{
    return runCommand("long int AsynchronousClient::mpgSelection(long int, long int)",
                      [&] { return CmdMpgSelection(channel, mpgId); });
}

int32_t AsynchronousClient::mpgAxesSet(int32_t channel, int32_t axisHBits, int32_t axisLBits)
{
    return runCommand("long int AsynchronousClient::mpgAxesSet(long int, long int, long int)",
                      [&] { return CmdMpgAxesSet(channel, axisHBits, axisLBits); });
}

int32_t AsynchronousClient::mpgMfoSet(int32_t channel, int32_t mfo)
{
    return runCommand("long int AsynchronousClient::mpgMfoSet(long int, long int)",
                      [&] { return CmdMpgMfoSet(channel, mfo); });
}

int32_t AsynchronousClient::prgCycleStart(int32_t channel)
{
    return runCommand("long int AsynchronousClient::prgCycleStart(long int)",
                      [&] { return CmdPrgCycleStart(channel); });
}

int32_t AsynchronousClient::prgStop(int32_t channel)
{
    return runCommand("long int AsynchronousClient::prgStop(long int)",
                      [&] { return CmdPrgStop(channel); });
}

int32_t AsynchronousClient::prgPause(int32_t channel, int32_t arg2, int32_t arg3)
{
    return runCommand("long int AsynchronousClient::prgPause(long int, long int, long int)",
                      [&] { return CmdPrgPause(channel, arg2, arg3); });
}

int32_t AsynchronousClient::prgSingleBlockSet(int32_t channel, int32_t value)
{
    return runCommand("long int AsynchronousClient::prgSingleBlockSet(long int, long int)",
                      [&] { return CmdPrgSingleBlockSet(channel, value); });
}

int32_t AsynchronousClient::prgOptionSkipSet(int32_t channel, int32_t value)
{
    return runCommand("long int AsynchronousClient::prgOptionSkipSet(long int, long int)",
                      [&] { return CmdPrgOptionSkipSet(channel, value); });
}

int32_t AsynchronousClient::prgMpgTestSet(int32_t channel, int32_t value)
{
    return runCommand("long int AsynchronousClient::prgMpgTestSet(long int, long int)",
                      [&] { return CmdPrgMpgTestSet(channel, value); });
}

int32_t AsynchronousClient::prgMpgTestSimuSet(int32_t channel, int32_t value)
{
    return runCommand("long int AsynchronousClient::prgMpgTestSimuSet(long int, long int)",
                      [&] { return CmdPrgMpgTestSimuSet(channel, value); });
}

int32_t AsynchronousClient::emStopSet(int32_t channel, int32_t value)
{
    return runCommand("long int AsynchronousClient::emStopSet(long int, long int)",
                      [&] { return CmdEmStopSet(channel, value); });
}

int32_t AsynchronousClient::prgReset(int32_t channel)
{
    return runCommand("long int AsynchronousClient::prgReset(long int)",
                      [&] { return CmdPrgReset(channel); });
}

int32_t AsynchronousClient::setCncType(int32_t type, int32_t channel)
{
    return runCommand("long int AsynchronousClient::setCncType(long int, long int)",
                      [&] { return CmdSetCncType(type, channel); });
}

int32_t AsynchronousClient::setXBit(int32_t channel, int32_t bitKind, int32_t index, int32_t value, int32_t extra)
{
    return runCommand("long int AsynchronousClient::setXBit(long int, long int, long int, long int, long int)",
                      [&] { return CmdSetXBit(channel, bitKind, index, value, extra); });
}

int32_t AsynchronousClient::servoOnAxisSet(int32_t a1, int32_t a2)
{
    return runCommand("long int AsynchronousClient::servoOnAxisSet(long int, long int)",
                      [&] { return CmdServoOnAxisSet(a1, a2); });
}

int32_t AsynchronousClient::servoOnAxesSet(int32_t a1, int32_t a2, int32_t a3, int32_t a4)
{
    return runCommand("long int AsynchronousClient::servoOnAxesSet(long int, long int, long int, long int)",
                      [&] { return CmdServoOnAxesSet(a1, a2, a3, a4); });
}

int32_t AsynchronousClient::SetCncStaticIp(int32_t a1, int32_t a2, int32_t a3, int32_t a4, int32_t a5, int32_t a6)
{
    return runCommand("long int AsynchronousClient::SetCncStaticIp(long int, long int, long int, long int, long int, long int)",
                      [&] { return CmdSetCncStaticIp(a1, a2, a3, a4, a5, a6); });
}

int32_t AsynchronousClient::busParameterInit()
{
    return runCommand("long int AsynchronousClient::busParameterInit()",
                      [&] { return CmdBusParameterInit(); });
}

int32_t AsynchronousClient::busAxisParameterWr(int32_t a1, int32_t a2, int32_t a3, int32_t a4, int32_t a5)
{
    return runCommand("long int AsynchronousClient::busAxisParameterWr(long int, long int, long int, long int, long int)",
                      [&] { return CmdBusAxisParameterWr(a1, a2, a3, a4, a5); });
}

int32_t AsynchronousClient::busAxisParametersWrRd(int32_t a1, int32_t a2, int32_t a3, int32_t a4)
{
    return runCommand("long int AsynchronousClient::busAxisParametersWrRd(long int, long int, long int, long int)",
                      [&] { return CmdBusAxisParametersWrRd(a1, a2, a3, a4); });
}

int32_t AsynchronousClient::busAxisParameterFileLS(int32_t a1, int32_t a2, int32_t a3)
{
    return runCommand("long int AsynchronousClient::busAxisParameterFileLS(long int, long int, long int)",
                      [&] { return CmdBusAxisParameterFileLS(a1, a2, a3); });
}

int32_t AsynchronousClient::busAxesParameterFileLS(int32_t a1, int32_t a2)
{
    return runCommand("long int AsynchronousClient::busAxesParameterFileLS(long int, long int)",
                      [&] { return CmdBusAxesParameterFileLS(a1, a2); });
}

int32_t AsynchronousClient::busAxisMisCmdRun(int32_t a1, int32_t a2)
{
    return runCommand("long int AsynchronousClient::busAxisMisCmdRun(long int, long int)",
                      [&] { return CmdBusAxisMisCmdRun(a1, a2); });
}

int32_t AsynchronousClient::busGetSlvInfo(int32_t a1)
{
    return runCommand("long int AsynchronousClient::busGetSlvInfo(long int)",
                      [&] { return CmdBusGetSlvInfo(a1); });
}

int32_t AsynchronousClient::busGetSlvHardAxisList()
{
    return runCommand("long int AsynchronousClient::busGetSlvHardAxisList()",
                      [&] { return CmdBusGetSlvHardAxisList(); });
}

int32_t AsynchronousClient::busIsReady()
{
    return runCommand("long int AsynchronousClient::busIsReady()",
                      [&] { return CmdBusIsReady(); });
}

int32_t AsynchronousClient::busIsTimeOut()
{
    return runCommand("long int AsynchronousClient::busIsTimeOut()",
                      [&] { return CmdBusIsTimeOut(); });
}

int32_t AsynchronousClient::jogMotionP_MotionIsStop(int32_t channel, int32_t axis, int32_t mode, int32_t* isStop)
{
    return runCommand(
        "long int AsynchronousClient::jogMotionP_MotionIsStop(long int, long int, long int, long int*)",
        [&] { replyValue3 = 0; return CmdJogMotionP_MotionIsStop(channel, axis, mode); },
        [&](int32_t) { if (isStop) *isStop = replyValue3; });
}

int32_t AsynchronousClient::jogMotionP_AxesIsStop(int32_t channel, int32_t axisHBits, int32_t axisLBits, int32_t mode, int32_t* stopHBits, int32_t* stopLBits)
{
    return runCommand(
        "long int AsynchronousClient::jogMotionP_AxesIsStop(long int, long int, long int, long int, long int*, long int*)",
        [&] { replyValue3 = 0; replyValue2 = 0; return CmdJogMotionP_AxesIsStop(channel, axisHBits, axisLBits, mode); },
        [&](int32_t) { if (stopHBits) *stopHBits = replyValue2; if (stopLBits) *stopLBits = replyValue3; });
}

int32_t AsynchronousClient::homeAxisIsEnd(int32_t channel, int32_t axis, int32_t* isEnd)
{
    return runCommand(
        "long int AsynchronousClient::homeAxisIsEnd(long int, long int, long int*)",
        [&] { return CmdHomeAxisIsEnd(channel, axis); },
        [&](int32_t) { if (isEnd) *isEnd = replyValue3; });
}

int32_t AsynchronousClient::homeAxesIsEnd(int32_t channel, int32_t axisHBits, int32_t axisLBits, int32_t* first, int32_t* second)
{
    return runCommand(
        "long int AsynchronousClient::homeAxesIsEnd(long int, long int, long int, long int*, long int*)",
        [&] { return CmdHomeAxesIsEnd(channel, axisHBits, axisLBits); },
        [&](int32_t) { if (first) *first = replyValue3; if (second) *second = replyValue2; });
}

int32_t AsynchronousClient::homeAxisIsInProcess(int32_t channel, int32_t axis, int32_t* inProcess)
{
    return runCommand(
        "long int AsynchronousClient::homeAxisIsInProcess(long int, long int, long int*)",
        [&] { return CmdHomeAxisIsInProcess(channel, axis); },
        [&](int32_t) { if (inProcess) *inProcess = replyValue3; });
}

int32_t AsynchronousClient::homeAxesIsInProcess(int32_t channel, int32_t axisHBits, int32_t axisLBits, int32_t* first, int32_t* second)
{
    return runCommand(
        "long int AsynchronousClient::homeAxesIsInProcess(long int, long int, long int, long int*, long int*)",
        [&] { return CmdHomeAxesIsInProcess(channel, axisHBits, axisLBits); },
        [&](int32_t) { if (first) *first = replyValue3; if (second) *second = replyValue2; });
}

int32_t AsynchronousClient::alarmRead(int32_t channel, int32_t* first, int32_t* second, int32_t* third)
{
    return runCommand(
        "long int AsynchronousClient::alarmRead(long int, long int*, long int*, long int*)",
        [&] { return CmdAlarmRead(channel); },
        [&](int32_t) { if (first) *first = replyValue1; if (second) *second = replyValue2; if (third) *third = replyValue3; });
}

int32_t AsynchronousClient::getXBit(int32_t channel, int32_t bitKind, int32_t index, int32_t* value)
{
    return runCommand(
        "long int AsynchronousClient::getXBit(long int, long int, long int, long int*)",
        [&] { return CmdGetXBit(channel, bitKind, index); },
        [&](int32_t) { if (value) *value = replyValue3; });
}

int32_t AsynchronousClient::getAxisMotionStatus(int32_t channel, int32_t axis, int32_t* status)
{
    return runCommand(
        "long int AsynchronousClient::getAxisMotionStatus(long int, long int, long int*)",
        [&] { return CmdGetAxisMotionStatus(channel, axis); },
        [&](int32_t) { if (status) *status = replyValue3; });
}

int32_t AsynchronousClient::getAxesMotionStatus(int32_t channel, int32_t axisHBits, int32_t axisLBits, int32_t* first, int32_t* second)
{
    return runCommand(
        "long int AsynchronousClient::getAxesMotionStatus(long int, long int, long int, long int*, long int*)",
        [&] { return CmdGetAxesMotionStatus(channel, axisHBits, axisLBits); },
        [&](int32_t) { if (first) *first = replyValue2; if (second) *second = replyValue3; });
}

int32_t AsynchronousClient::servoOnAxisGet(int32_t a1, int32_t* value)
{
    return runCommand(
        "long int AsynchronousClient::servoOnAxisGet(long int, long int*)",
        [&] { return CmdServoOnAxisGet(a1); },
        [&](int32_t) { if (value) *value = replyValue3; });
}

int32_t AsynchronousClient::servoOnAxesGet(int32_t a1, int32_t a2, int32_t* first, int32_t* second)
{
    return runCommand(
        "long int AsynchronousClient::servoOnAxesGet(long int, long int, long int*, long int*)",
        [&] { return CmdServoOnAxesGet(a1, a2); },
        [&](int32_t) { if (first) *first = replyValue2; if (second) *second = replyValue3; });
}

int32_t AsynchronousClient::getAxisCoord(int32_t a1, int32_t a2, int32_t a3, int32_t* coord)
{
    return runCommand(
        "long int AsynchronousClient::getAxisCoord(long int, long int, long int, long int*)",
        [&] { return CmdGetAxisCoord(a1, a2, a3); },
        [&](int32_t) { if (coord) *coord = replyValue3; });
}

int32_t AsynchronousClient::busAxisParameterRd(int32_t a1, int32_t a2, int32_t a3, int32_t a4, int32_t* value)
{
    return runCommand(
        "long int AsynchronousClient::busAxisParameterRd(long int, long int, long int, long int, long int*)",
        [&] { return CmdBusAxisParameterRd(a1, a2, a3, a4); },
        [&](int32_t) { if (value) *value = replyValue3; });
}

int32_t AsynchronousClient::busAxisParameterWrRd(int32_t a1, int32_t a2, int32_t a3, int32_t a4, int32_t a5, int32_t* value)
{
    return runCommand(
        "long int AsynchronousClient::busAxisParameterWrRd(long int, long int, long int, long int, long int, long int*)",
        [&] { return CmdBusAxisParameterWrRd(a1, a2, a3, a4, a5); },
        [&](int32_t) { if (value) *value = replyValue3; });
}

int32_t AsynchronousClient::busGetSlvNum(int32_t* value)
{
    return runCommand(
        "long int AsynchronousClient::busGetSlvNum(long int*)",
        [&] { return CmdBusGetSlvNum(); },
        [&](int32_t) { if (value) *value = replyValue3; });
}
int32_t AsynchronousClient::homeRunAxes(int32_t channel, int32_t axisHBits, int32_t axisLBits, int32_t* first,
                                        int32_t* second)
{
    return runCommand(
        "long int AsynchronousClient::homeRunAxes(long int, long int, long int, long int*, long int*)",
        [&] { return CmdHomeRunAxes(channel, axisHBits, axisLBits); },
        [&](int32_t) {
            if (first) *first = replyValue2;
            if (second) *second = replyValue3;
        });
}

int32_t AsynchronousClient::reset(int32_t channel)
{
    return runCommand(
        "long int AsynchronousClient::reset(long int)",
        [&] {
            if (channel < 1 || channel > 99) {
                if (logFlags & LogFlag::Errors)
                    qCDebug(acmLog).noquote() << "long int AsynchronousClient::reset(long int)" << " ParError channel="
                                       << channel;
                return kArgumentsRejected;
            }
            return CmdReset(channel);
        },
        nullptr, LogDisconnectWithFlag);
}

namespace {
// Largest bit groups whose request still fits one frame.
constexpr int kMaxInputBitWords = 121;
constexpr int kMaxOutputBitWords = 32;
}

int32_t AsynchronousClient::getIbits(int32_t channel, const int32_t* elements, int count, int32_t* first,
                                     int32_t* second)
{
    return runCommand(
        "long int AsynchronousClient::getIbits(long int, long int*, int, long int*, long int*)",
        [&] {
            if (count < 0 || count > kMaxInputBitWords || (count > 0 && !elements))
                return kArgumentsRejected;
            const std::vector<int32_t> request(elements, elements + count);
            return CmdGetIbits(channel, request.data(), count);
        },
        [&](int32_t) {
            if (first) *first = replyValue2;
            if (second) *second = replyValue3;
        });
}

int32_t AsynchronousClient::setPlcObits(int32_t channel, const int32_t* first, const int32_t* second, int count)
{
    return runCommand("long int AsynchronousClient::setPlcObits(long int, long int*, long int*, int)", [&] {
        if (count < 0 || count > kMaxOutputBitWords || (count > 0 && (!first || !second)))
            return kArgumentsRejected;
        const std::vector<int32_t> a(first, first + count), b(second, second + count);
        return CmdSetPlcObits(channel, a.data(), b.data(), count);
    });
}

int32_t AsynchronousClient::setCncObits(int32_t channel, const int32_t* first, const int32_t* second, int count,
                                        int32_t extra)
{
    return runCommand("long int AsynchronousClient::setCncObits(long int, long int*, long int*, int, long int)", [&] {
        if (count < 0 || count > kMaxOutputBitWords || (count > 0 && (!first || !second)))
            return kArgumentsRejected;
        const std::vector<int32_t> a(first, first + count), b(second, second + count);
        return CmdSetCncObits(channel, a.data(), b.data(), count, extra);
    });
}

int32_t AsynchronousClient::getAxesCoord(int32_t a1, int32_t a2, int32_t a3, int32_t a4, int count, int32_t* coords)
{
    return runCommand(
        "long int AsynchronousClient::getAxesCoord(long int, long int, long int, long int, int, long int*)",
        [&] {
            if (count < 0 || (count > 0 && !coords))
                return kArgumentsRejected;
            const int32_t n = CmdGetAxesCoord(a1, a2, a3, a4);
            axesCoords.clear();
            return n;
        },
        [&](int32_t) {
            for (int i = 0; i < count && i < axesCoords.size(); ++i)
                coords[i] = axesCoords.at(i);
        });
}

QByteArray AsynchronousClient::getRuningPrg(int32_t channel)
{
    try {
        std::unique_lock<std::mutex> lock(mutex);
        const uint8_t channelByte = uint8_t(channel & 0xFF);
        if (channelByte < 1 || channelByte > 98)
            return QByteArray();
        if (retired) // as without a link: a removed target sends nothing more
            return QByteArray(1, char(ResultCode::NoValidReply));
        sendFrame.clear();
        const char name[2] = {char(channelByte), 0};
        const int32_t n = CmdGetRuningPrg(4, name);
        if (cmdQueue.size() <= queueLimit)
            cmdQueue.append(n > 0 ? QByteArray(reinterpret_cast<const char*>(sendBuf), n) : QByteArray());
        if (syncMode == 1) {
            takeNextFrame();
            if (!sendAndWait())
                return QByteArray(1, char(ResultCode::NoValidReply));
            if (replyErrorFlag)
                return QByteArray();
        } else {
            wakeWorker();
            // Give the worker up to 200 ms to get the answer in.
            for (int waited = 0; waited < 200 && !(cmdQueue.isEmpty() && sendState == 1); waited += 5) {
                lock.unlock();
                busyWaitMs(5);
                lock.lock();
            }
        }
        const auto it = cncStrings.find(4);
        return it != cncStrings.end() ? it->second : QByteArray("Unknown");
    } catch (...) {
        return QByteArray(1, char(ResultCode::NoValidReply));
    }
}
