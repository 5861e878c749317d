#pragma once
#include "AsyncCommModuleLoader.h"
#include "ErrorReports.h"
#include "ExitStatus.h"

class ProgressDisplay;

// Runs this thread's Qt event loop, which the library's FTP operations advance in, while
// polling getFtpUploadFileProgress: until it reaches 100, until it has not moved for the time
// out (the operation stopped: no server, a refused login or upload, a missing file), or until a
// stop is requested.
class FtpProgressWait
{
public:
    FtpProgressWait(const AcmLibrary& acm, int id, double timeoutSeconds);
    // The last progress seen: 100 when the operation finished.
    double run(ProgressDisplay& display);

    // Why an FTP list that did not finish stopped, from its error reports (errorCmd 20, cmdState
    // the step): a refused connection is no link (3), a refused login, upload or folder a
    // refusal (4); no report, a silent server (5), or a stop request.
    static ExitStatus failure(const QList<ErrorReports::Entry>& reports, QString* reason);

private:
    const AcmLibrary& m_acm;
    int m_id;
    int m_timeoutMs;
};
