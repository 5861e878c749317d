// Exports of the FTP uploads; they start a command list that runs in the calling thread's event loop.
#include "ExportFrame.h"

#include <cmath>

using namespace ExportFrame;

extern "C" {

CncLong ftpUploadFile(CncLong type, CncLong channel, const char* sPath, const char* hostIp, int cncID)
{
    return onMain(cncID, [&](AsynchronousClient& c) { return c.ftpUploadFile(type, channel, sPath, hostIp); });
}

CncLong ftpUploadFileDes(const char* source, const char* destination, const char* hostIp, int cncID)
{
    return onMain(cncID, [&](AsynchronousClient& c) { return c.ftpUploadFileDes(source, destination, hostIp); });
}

CncLong ftpUpdateSystem(const char* source, const char* hostIp, int cncID)
{
    return onMain(cncID, [&](AsynchronousClient& c) { return c.ftpUpdateSystem(source, hostIp); });
}

CncLong ftpMkdir(const char* desPath, const char* hostIp, int cncID)
{
    return onMain(cncID, [&](AsynchronousClient& c) { return c.ftpMkdir(desPath, hostIp); });
}

// Whole percent: 0 to 99 while data flows, 100 once an upload or a directory is done.
double getFtpUploadFileProgress(int cncID)
{
    return onTarget<double>(cncID, 1.0, [](TargetCnc& t) { return std::trunc(t.mainClient.getFtpUploadFileProgress()); });
}

} // extern "C"
