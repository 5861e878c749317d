// Exports of hand motion, handwheel and homing; each carried by the channel's client.
#include "ExportFrame.h"

using namespace ExportFrame;

extern "C" {

CncLong jogMotionV_Run(CncLong channel, CncLong axis, CncLong feed, CncLong isNegDir, CncLong isFast, int cncID)
{
    const CncLong out = onChannel(cncID, channel, [&](AsynchronousClient& c) {
        return c.jogMotionV_Run(channel, axis, feed, isNegDir, isFast);
    });
    logLine("long int jogMotionV_Run(long int, long int, long int, long int, long int, int)", " tmpChanne=", channel,
            " cncID=", cncID, " tmpAxis=", axis, " tmpFeed=", feed, "tmpIsNegDir=", isNegDir, "tmpIsFast=", isFast,
            "cncID=", cncID, "out=", out);
    return out;
}

CncLong jogMotionV_Stop(CncLong channel, CncLong axis, int cncID)
{
    const CncLong out = onChannel(cncID, channel, [&](AsynchronousClient& c) { return c.jogMotionV_Stop(channel, axis); });
    logLine("long int jogMotionV_Stop(long int, long int, int)", " tmpChanne=", channel, " cncID=", cncID, " tmpAxis=",
            axis, "cncID=", cncID, "out=", out);
    return out;
}

CncLong jogMotionV_MfoSet(CncLong channel, CncLong mfo, int cncID)
{
    const CncLong out = onChannel(cncID, channel, [&](AsynchronousClient& c) { return c.jogMotionV_MfoSet(channel, mfo); });
    logLine("long int jogMotionV_MfoSet(long int, long int, int)", " tmpChanne=", channel, " cncID=", cncID, " tmpMfo=",
            mfo, "cncID=", cncID, "out=", out);
    return out;
}

CncLong jogMotionV_FastOnSet(CncLong channel, CncLong isFast, int cncID)
{
    const CncLong out =
        onChannel(cncID, channel, [&](AsynchronousClient& c) { return c.jogMotionV_FastOnSet(channel, isFast); });
    logLine("long int jogMotionV_FastOnSet(long int, long int, int)", " tmpChannel=", channel, " tmpIsFast=", isFast,
            "cncID=", cncID, "out=", out);
    return out;
}

CncLong jogMotionV_Para(CncLong channel, CncLong axis, CncLong feed, CncLong isNegDir, CncLong isFast, int cncID)
{
    const CncLong out = onChannel(cncID, channel, [&](AsynchronousClient& c) {
        return c.jogMotionV_Para(channel, axis, feed, isNegDir, isFast);
    });
    logLine("long int jogMotionV_Para(long int, long int, long int, long int, long int, int)", " tmpChannel=", channel,
            " tmpAxis=", axis, "tmpFeed==", feed, "tmpIsNegDir==", isNegDir, "tmpIsFast==", isFast, "cncID=", cncID,
            "out=", out);
    return out;
}

CncLong jogMotionV_AxesRun(CncLong channel, CncLong axisHBits, CncLong axisLBits, int cncID)
{
    const CncLong out = onChannel(cncID, channel, [&](AsynchronousClient& c) {
        return c.jogMotionV_AxesRun(channel, axisHBits, axisLBits);
    });
    logLine("long int jogMotionV_AxesRun(long int, long int, long int, int)", " tmpChannel=", channel,
            " tmpAxisHBits=", axisHBits, "tmpAxisLBits==", axisLBits, "cncID=", cncID, "out=", out);
    return out;
}

// The axes-bits commands that share one log shape.
#define ACM_AXES_BITS_EXPORT(name)                                                                              \
    CncLong name(CncLong channel, CncLong axisHBits, CncLong axisLBits, int cncID)                               \
    {                                                                                                            \
        const CncLong out = onChannel(cncID, channel,                                                            \
                                      [&](AsynchronousClient& c) { return c.name(channel, axisHBits, axisLBits); }); \
        logLine("long int " #name "(long int, long int, long int, int)", " tmpChannel=", channel, " tmpAxisHBits=",  \
                axisHBits, " tmpAxisLBits=", axisLBits, "cncID=", cncID, "out=", out);                            \
        return out;                                                                                              \
    }

ACM_AXES_BITS_EXPORT(jogMotionV_AxesStop)
ACM_AXES_BITS_EXPORT(jogMotionP_AxesRun)
ACM_AXES_BITS_EXPORT(jogMotionP_AxesStop)
ACM_AXES_BITS_EXPORT(mpgAxesSet)
#undef ACM_AXES_BITS_EXPORT

CncLong jogMotionP_Run(CncLong channel, CncLong axis, CncLong feed, CncLong len, CncLong isAbs, CncLong isMecCoord,
                       int cncID)
{
    const CncLong out = onChannel(cncID, channel, [&](AsynchronousClient& c) {
        return c.jogMotionP_Run(channel, axis, feed, len, isAbs, isMecCoord);
    });
    logLine("long int jogMotionP_Run(long int, long int, long int, long int, long int, long int, int)", " tmpChanne=",
            channel, " cncID=", cncID, " tmpAxis=", axis, " tmpFeed=", feed, "tmpLen=", len, "tmpIsAbs=", isAbs,
            "tmpIsMecCoord=", isMecCoord, "cncID=", cncID, "out=", out);
    return out;
}

CncLong jogMotionP_MfoSet(CncLong channel, CncLong mfo, int cncID)
{
    const CncLong out = onChannel(cncID, channel, [&](AsynchronousClient& c) { return c.jogMotionP_MfoSet(channel, mfo); });
    logLine("long int jogMotionP_MfoSet(long int, long int, int)", " tmpChanne=", channel, " cncID=", cncID, " tmpMfo=",
            mfo, "cncID=", cncID, "out=", out);
    return out;
}

CncLong jogMotionP_Stop(CncLong channel, CncLong axis, int cncID)
{
    const CncLong out = onChannel(cncID, channel, [&](AsynchronousClient& c) { return c.jogMotionP_Stop(channel, axis); });
    logLine("long int jogMotionP_Stop(long int, long int, int)", " tmpChanne=", channel, " cncID=", cncID, " tmpAxis=",
            axis, "cncID=", cncID, "out=", out);
    return out;
}

CncLong jogMotionP_IsStop(CncLong channel, CncLong axis, CncLong mode, CncLong* isStop, int cncID)
{
    const CncLong out = onChannel(cncID, channel, [&](AsynchronousClient& c) {
        return c.jogMotionP_MotionIsStop(channel, axis, mode, isStop);
    });
    logLine("long int jogMotionP_IsStop(long int, long int, long int, long int*, int)", " tmpChanne=", channel,
            " cncID=", cncID, " tmpAxis=", axis, "tmpMode=", mode, "cncID=", cncID, "out=", out);
    return out;
}

CncLong jogMotionP_Para(CncLong channel, CncLong axis, CncLong feed, CncLong len, CncLong isAbs, CncLong isMecCoord,
                        int cncID)
{
    const CncLong out = onChannel(cncID, channel, [&](AsynchronousClient& c) {
        return c.jogMotionP_Para(channel, axis, feed, len, isAbs, isMecCoord);
    });
    logLine("long int jogMotionP_Para(long int, long int, long int, long int, long int, long int, int)",
            " tmpChannel=", channel, " tmpAxis=", axis, " tmpFeed=", feed, "tmpLen=", len, "tmpIsAb==", isAbs,
            "tmpIsMecCoord==", isMecCoord, "cncID=", cncID, "out=", out);
    return out;
}

CncLong jogMotionP_AxesIsStop(CncLong channel, CncLong axisHBits, CncLong axisLBits, CncLong mode, CncLong* stopHBits,
                              CncLong* stopLBits, int cncID)
{
    const CncLong out = onChannel(cncID, channel, [&](AsynchronousClient& c) {
        return c.jogMotionP_AxesIsStop(channel, axisHBits, axisLBits, mode, stopHBits, stopLBits);
    });
    logLine("long int jogMotionP_AxesIsStop(long int, long int, long int, long int, long int*, long int*, int)",
            " tmpChannel=", channel, "tmpMode==", mode, " tmpAxisHBits=", static_cast<const void*>(stopHBits),
            " tmpAxisLBits=", static_cast<const void*>(stopLBits), "cncID=", cncID, "out=", out);
    return out;
}

CncLong mpgSelection(CncLong channel, CncLong mpgId, int cncID)
{
    const CncLong out = onChannel(cncID, channel, [&](AsynchronousClient& c) { return c.mpgSelection(channel, mpgId); });
    logLine("long int mpgSelection(long int, long int, int)", " tmpChannel=", channel, " tmpMpgId=", mpgId, "cncID=",
            cncID, "out=", out);
    return out;
}

CncLong mpgMfoSet(CncLong channel, CncLong mfo, int cncID)
{
    const CncLong out = onChannel(cncID, channel, [&](AsynchronousClient& c) { return c.mpgMfoSet(channel, mfo); });
    logLine("long int mpgMfoSet(long int, long int, int)", " tmpChannel=", channel, " tmpMfo=", mfo, "cncID=", cncID,
            "out=", out);
    return out;
}

CncLong homeRunAxis(CncLong channel, CncLong axis, int cncID)
{
    const CncLong out = onChannel(cncID, channel, [&](AsynchronousClient& c) { return c.homeRunAxis(channel, axis); });
    logLine("long int homeRunAxis(long int, long int, int)", " tmpChanne=", channel, " cncID=", cncID, " tmpAxis=", axis,
            "cncID=", cncID, "out=", out);
    return out;
}

CncLong homeRunAxes(CncLong channel, CncLong axisHBits, CncLong axisLBits, CncLong* first, CncLong* second, int cncID)
{
    const CncLong out = onChannel(cncID, channel, [&](AsynchronousClient& c) {
        return c.homeRunAxes(channel, axisHBits, axisLBits, first, second);
    });
    logLine("long int homeRunAxes(long int, long int, long int, long int*, long int*, int)", " tmpChannel=", channel,
            " tmpAxisHBits=", axisHBits, " tmpAxisLBits=", axisLBits, "cncID=", cncID, "out=", out);
    return out;
}

CncLong homeAxisIsEnd(CncLong channel, CncLong axis, CncLong* isEnd, int cncID)
{
    return onChannel(cncID, channel, [&](AsynchronousClient& c) { return c.homeAxisIsEnd(channel, axis, isEnd); });
}

CncLong homeAxesIsEnd(CncLong channel, CncLong axisHBits, CncLong axisLBits, CncLong* first, CncLong* second,
                      int cncID)
{
    return onChannel(cncID, channel, [&](AsynchronousClient& c) {
        return c.homeAxesIsEnd(channel, axisHBits, axisLBits, first, second);
    });
}

CncLong homeAxisIsInProcess(CncLong channel, CncLong axis, CncLong* inProcess, int cncID)
{
    const CncLong out = onChannel(cncID, channel,
                                  [&](AsynchronousClient& c) { return c.homeAxisIsInProcess(channel, axis, inProcess); });
    logLine("long int homeAxisIsInProcess(long int, long int, long int*, int)", " tmpChannel=", channel, " tmpAxis=",
            axis, " tmpAxisLBits=", static_cast<const void*>(inProcess), "cncID=", cncID, "out=", out);
    return out;
}

CncLong homeAxesIsInProcess(CncLong channel, CncLong axisHBits, CncLong axisLBits, CncLong* first, CncLong* second,
                            int cncID)
{
    return onChannel(cncID, channel, [&](AsynchronousClient& c) {
        return c.homeAxesIsInProcess(channel, axisHBits, axisLBits, first, second);
    });
}

} // extern "C"
