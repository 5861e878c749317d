#include "FtpProgressWait.h"

#include "ErrorReports.h"
#include "CallMeaning.h"
#include "ProgressDisplay.h"
#include "StopGuard.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

namespace {
constexpr int kPollMs = 20;
constexpr double kFinished = 100.0;
// After the end: time for the operation to say goodbye to the server.
constexpr int kClosingMs = 100;
constexpr int32_t kFtpReport = 20;
constexpr int32_t kConnectStep = 0;
}

ExitStatus FtpProgressWait::failure(const QList<ErrorReports::Entry>& reports, QString* reason)
{
    if (StopGuard::stopRequested()) {
        *reason = StopGuard::describe();
        return StopGuard::status();
    }
    for (const ErrorReports::Entry& e : reports)
        if (e.errorCmd == kFtpReport) {
            *reason = withMeaning(e.detail);
            return e.cmdState == kConnectStep ? ExitStatus::NotConnected : ExitStatus::ControllerRefused;
        }
    *reason = QString();
    return ExitStatus::NoReply;
}

FtpProgressWait::FtpProgressWait(const AcmLibrary& acm, int id, double timeoutSeconds)
    : m_acm(acm), m_id(id), m_timeoutMs(int(timeoutSeconds * 1000))
{
}

double FtpProgressWait::run(ProgressDisplay& display)
{
    QEventLoop loop;
    QTimer poll;
    QElapsedTimer still;
    still.start();
    double last = m_acm.getFtpUploadFileProgress(m_id);
    display.update(last);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        const double progress = m_acm.getFtpUploadFileProgress(m_id);
        display.update(progress);
        if (progress != last) {
            last = progress;
            still.restart();
        }
        // A failed list reports at once (a refused connection, an error reply of the server).
        if (progress >= kFinished || still.elapsed() >= m_timeoutMs || ErrorReports::any() ||
            StopGuard::stopRequested())
            loop.quit();
    });
    poll.start(kPollMs);
    loop.exec();
    poll.stop();
    display.finish();
    if (last >= kFinished) {
        QEventLoop closing;
        QTimer::singleShot(kClosingMs, &closing, &QEventLoop::quit);
        closing.exec();
    }
    return last;
}
