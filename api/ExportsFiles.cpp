// Exports of controller files and error files; all but the error text run on the target-level client.
#include "CallerTexts.h"
#include "ExportFrame.h"

using namespace ExportFrame;

extern "C" {

CncLong getCncFileInf(CncLong type, CncLong channel, const char* fileName, char* info, int cncID)
{
    return onMain(cncID, [&](AsynchronousClient& c) {
        if (!fileName)
            return ResultCode::ArgumentOutOfRange;
        return c.getCncFileInf(type, channel, QString::fromUtf8(fileName), info);
    });
}

CncLong writeCncFile(CncLong type, const char* fileName, const char* content, int cncID)
{
    return onMain(cncID, [&](AsynchronousClient& c) {
        if (!fileName || !content)
            return ResultCode::ArgumentOutOfRange;
        return c.writeCncFileUtf8(type, fileName, content);
    });
}

char* getCncCurrentError(CncLong channel, int cncID)
{
    return onTarget<char*>(cncID, nullptr, [&](TargetCnc& t) -> char* {
        if (!t.mainClient.getCncCurrentError(channel))
            return nullptr;
        return CallerTexts::keep(CallerTexts::Kind::CurrentError, cncID, t.mainClient.callerErrorFileText());
    });
}

CncLong getCurErrString(CncLong channel, CncLong value, char* text, int cncID)
{
    return onChannel(cncID, channel, [&](AsynchronousClient& c) { return c.getCurErrString(channel, value, text); });
}

} // extern "C"
