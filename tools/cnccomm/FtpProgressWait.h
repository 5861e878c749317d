#pragma once
#include "AsyncCommModuleLoader.h"

class ProgressDisplay;

// Runs this thread's Qt event loop, which the library's FTP operations advance in, while
// polling getFtpUploadFileProgress: until it reaches 100, or until it has not moved for the
// time out (the operation stopped: no server, a refused login or upload, a missing file).
class FtpProgressWait
{
public:
    FtpProgressWait(const AcmLibrary& acm, int id, double timeoutSeconds);
    // The last progress seen: 100 when the operation finished.
    double run(ProgressDisplay& display);

private:
    const AcmLibrary& m_acm;
    int m_id;
    int m_timeoutMs;
};
