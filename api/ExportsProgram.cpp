// Exports of program control; channel commands plus the target-level reset and the
// running-program query.
#include "CallerTexts.h"
#include "ExportFrame.h"

using namespace ExportFrame;

extern "C" {

CncLong prgCycleStart(CncLong channel, int cncID)
{
    return onChannel(cncID, channel, [&](AsynchronousClient& c) { return c.prgCycleStart(channel); });
}

CncLong prgStop(CncLong channel, int cncID)
{
    return onChannel(cncID, channel, [&](AsynchronousClient& c) { return c.prgStop(channel); });
}

CncLong prgPause(CncLong channel, CncLong arg2, CncLong arg3, int cncID)
{
    return onChannel(cncID, channel, [&](AsynchronousClient& c) { return c.prgPause(channel, arg2, arg3); });
}

CncLong prgSingleBlockSet(CncLong channel, CncLong value, int cncID)
{
    return onChannel(cncID, channel, [&](AsynchronousClient& c) { return c.prgSingleBlockSet(channel, value); });
}

CncLong prgOptionSkipSet(CncLong channel, CncLong value, int cncID)
{
    return onChannel(cncID, channel, [&](AsynchronousClient& c) { return c.prgOptionSkipSet(channel, value); });
}

CncLong prgMpgTestSet(CncLong channel, CncLong value, int cncID)
{
    return onChannel(cncID, channel, [&](AsynchronousClient& c) { return c.prgMpgTestSet(channel, value); });
}

CncLong prgMpgTestSimuSet(CncLong channel, CncLong value, int cncID)
{
    return onChannel(cncID, channel, [&](AsynchronousClient& c) { return c.prgMpgTestSimuSet(channel, value); });
}

CncLong emStopSet(CncLong channel, CncLong value, int cncID)
{
    return onChannel(cncID, channel, [&](AsynchronousClient& c) { return c.emStopSet(channel, value); });
}

CncLong prgReset(CncLong channel, int cncID)
{
    return onChannel(cncID, channel, [&](AsynchronousClient& c) { return c.prgReset(channel); });
}

CncLong reset(CncLong channel, int cncID)
{
    const CncLong out = onMain(cncID, [&](AsynchronousClient& c) { return c.reset(channel); });
    logLine("long int reset(long int, int)", " channel=", channel, " cncID=", cncID, " out=", out);
    return out;
}

char* getRuningPrg(CncLong channel, int cncID)
{
    return onTarget<char*>(cncID, nullptr, [&](TargetCnc& t) {
        return CallerTexts::keep(CallerTexts::Kind::RunningProgram, cncID, t.auxClient.getRuningPrg(channel));
    });
}

CncLong setCncType(CncLong type, CncLong channel, int cncID)
{
    const CncLong out = onChannel(cncID, channel, [&](AsynchronousClient& c) { return c.setCncType(type, channel); });
    logLine("long int setCncType(long int, long int, int)", " type=", type, " cncID=", cncID, " channel=", channel);
    return out;
}

} // extern "C"
