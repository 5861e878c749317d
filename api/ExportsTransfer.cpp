// Exports of the program text transfer: each runs on the client of the channel it names, except the
// start by name, which runs on the target-level client.
#include "ExportFrame.h"

using namespace ExportFrame;

namespace {
const char* textOrEmpty(const char* text) { return text ? text : ""; }
}

extern "C" {

CncLong setTransFileType(CncLong type, CncLong channel, const char* fileName, int cncID)
{
    const CncLong out = onChannel(cncID, channel,
                                  [&](AsynchronousClient& c) { return c.setTransFileType(type, channel, fileName, false); });
    logLine("long int setTransFileType(long int, long int, char*, int)", " channel=", channel, " cncID=", cncID,
            " fileName=", textOrEmpty(fileName), " type=", type, " out=", out);
    return out;
}

CncLong getTransFileState(CncLong type, CncLong channel, const char* fileName, int cncID)
{
    const CncLong out = onChannel(cncID, channel,
                                  [&](AsynchronousClient& c) { return c.setTransFileType(type, channel, fileName, true); });
    logLine("long int getTransFileState(long int, long int, char*, int)", " channel=", channel, " cncID=", cncID,
            " fileName=", textOrEmpty(fileName), " type=", type, " out=", out);
    return out;
}

CncLong overwrite(const char* text, CncLong channel, int cncID)
{
    const CncLong out = onChannel(cncID, channel, [&](AsynchronousClient& c) { return c.overwrite(text); });
    logLine("long int overwrite(char*, long int, int)", " channel=", channel, " cncID=", cncID, " txt=",
            textOrEmpty(text), " out=", out);
    return out;
}

CncLong append(const char* text, CncLong channel, int cncID)
{
    const CncLong out = onChannel(cncID, channel, [&](AsynchronousClient& c) { return c.append(text); });
    logLine("long int append(char*, long int, int)", " channel=", channel, " cncID=", cncID, " txt=",
            textOrEmpty(text), " out=", out);
    return out;
}

CncLong fileEnd(CncLong channel, int cncID)
{
    const CncLong out = onChannel(cncID, channel, [](AsynchronousClient& c) { return c.fileEnd(); });
    logLine("long int fileEnd(long int, int)", " channel=", channel, " cncID=", cncID, " out=", out);
    return out;
}

CncLong uploadFile(CncLong type, CncLong channel, const char* fileName, const char* text, int cncID)
{
    return onChannel(cncID, channel,
                     [&](AsynchronousClient& c) { return c.uploadFile(type, channel, fileName, text); });
}

CncLong cycStart(CncLong channel, const char* fileName, int cncID)
{
    const CncLong out = onMain(cncID, [&](AsynchronousClient& c) { return c.cycStart(channel, fileName); });
    logLine("long int cycStart(long int, char*, int)", " channel=", channel, " cncID=", cncID, " fileName=",
            textOrEmpty(fileName), " out=", out);
    return out;
}

} // extern "C"
