// Exports of axis status, servo enable, coordinates, alarms and the controller's address.
#include "ExportFrame.h"

using namespace ExportFrame;

extern "C" {

CncLong getAxisMotionStatus(CncLong channel, CncLong axis, CncLong* status, int cncID)
{
    return onChannel(cncID, channel, [&](AsynchronousClient& c) { return c.getAxisMotionStatus(channel, axis, status); });
}

CncLong getAxesMotionStatus(CncLong channel, CncLong axisHBits, CncLong axisLBits, CncLong* first, CncLong* second,
                            int cncID)
{
    return onChannel(cncID, channel, [&](AsynchronousClient& c) {
        return c.getAxesMotionStatus(channel, axisHBits, axisLBits, first, second);
    });
}

CncLong servoOnAxisSet(CncLong arg1, CncLong arg2, int cncID)
{
    return onMain(cncID, [&](AsynchronousClient& c) { return c.servoOnAxisSet(arg1, arg2); });
}

CncLong servoOnAxesSet(CncLong arg1, CncLong arg2, CncLong arg3, CncLong arg4, int cncID)
{
    return onMain(cncID, [&](AsynchronousClient& c) { return c.servoOnAxesSet(arg1, arg2, arg3, arg4); });
}

CncLong servoOnAxisGet(CncLong arg1, CncLong* value, int cncID)
{
    return onMain(cncID, [&](AsynchronousClient& c) { return c.servoOnAxisGet(arg1, value); });
}

CncLong servoOnAxesGet(CncLong arg1, CncLong arg2, CncLong* first, CncLong* second, int cncID)
{
    return onMain(cncID, [&](AsynchronousClient& c) { return c.servoOnAxesGet(arg1, arg2, first, second); });
}

CncLong getAxisCoord(CncLong arg1, CncLong arg2, CncLong arg3, CncLong* coord, int cncID)
{
    return onMain(cncID, [&](AsynchronousClient& c) { return c.getAxisCoord(arg1, arg2, arg3, coord); });
}

CncLong getAxesCoord(CncLong arg1, CncLong arg2, CncLong arg3, CncLong arg4, CncLong count, CncLong* coords,
                     int cncID)
{
    return onMain(cncID,
                  [&](AsynchronousClient& c) { return c.getAxesCoord(arg1, arg2, arg3, arg4, count, coords); });
}

CncLong alarmRead(CncLong channel, CncLong* first, CncLong* second, CncLong* third, int cncID)
{
    return onMain(cncID, [&](AsynchronousClient& c) { return c.alarmRead(channel, first, second, third); });
}

CncLong udpSetCncIp(const char* ip, int cncID)
{
    return onMain(cncID, [&](AsynchronousClient& c) { return c.udpSetCncIp(ip); });
}

CncLong SetCncStaticIp(CncLong arg1, CncLong arg2, CncLong arg3, CncLong arg4, CncLong arg5, CncLong arg6, int cncID)
{
    return onMain(cncID,
                  [&](AsynchronousClient& c) { return c.SetCncStaticIp(arg1, arg2, arg3, arg4, arg5, arg6); });
}

} // extern "C"
