// The running-program query: the aux client's answer, kept per calling thread.
#include "CallerTexts.h"
#include "ExportFrame.h"

using namespace ExportFrame;

extern "C" {

char* getRuningPrg(CncLong channel, int cncID)
{
    return onTarget<char*>(cncID, nullptr, [&](TargetCnc& t) {
        return CallerTexts::keep(CallerTexts::Kind::RunningProgram, cncID, t.auxClient.getRuningPrg(channel));
    });
}

} // extern "C"
