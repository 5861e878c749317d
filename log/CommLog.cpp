#include "CommLog.h"
#include "LogCategory.h"

#include <QDir>
#include <QFile>
#include <QTextStream>

#include <atomic>
#include <cstdio>
#include <mutex>

namespace {

// Function-local statics: created on first use, destroyed at exit, and safe
// against static-initialisation order in applications that log early.
// The lock makes each line a whole append and guards the switch and failureReported.
std::mutex& handlerLock()
{
    static std::mutex lock;
    return lock;
}

std::function<QDateTime()>& clockSource()
{
    static std::function<QDateTime()> clock;
    return clock;
}

// Read by the handler on any thread without the lock, so a forwarded message never waits for a
// file append.
std::atomic<bool> fileOn{false};
std::atomic<QtMessageHandler> previousHandler{nullptr};
bool failureReported = false; // a failed append was reported and no append has worked since

// Set while this thread hands a message on: a handler installed over ours that calls ours in turn
// would otherwise pass the message round for ever.
thread_local bool forwarding = false;

QDateTime now()
{
    const std::function<QDateTime()>& clock = clockSource();
    return clock ? clock() : QDateTime::currentDateTime();
}

bool isLibraryLine(const QMessageLogContext& context)
{
    return context.category == acmLog().categoryName();
}

void forward(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    const QtMessageHandler next = previousHandler.load();
    if (forwarding || !next)
        return;
    forwarding = true;
    next(type, context, text);
    forwarding = false;
}

// One report for a run of failed appends, on standard error: standard output is the
// application's own.
void reportFailure(const QString& path, const QString& reason)
{
    if (failureReported)
        return;
    failureReported = true;
    std::fprintf(stderr, "AsyncCommModule: cannot write the log file %s (%s); its lines are lost until it can be written\n",
                 path.toUtf8().constData(), reason.toUtf8().constData());
    std::fflush(stderr);
}

void appendLine(const QString& text)
{
    std::lock_guard<std::mutex> guard(handlerLock());
    const QDateTime stamp = now();
    // Stamp first, then the text as a plain argument, so a "%1" inside the
    // message is never substituted.
    const QString line = QStringLiteral("%1: %2")
                             .arg(stamp.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz ddd")), text);
    const QString path = QDir::currentPath() + QStringLiteral("/logs/CommLog")
                         + stamp.toString(QStringLiteral("_yyyy-MM-dd-hh")) + QStringLiteral(".txt");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        reportFailure(path, file.errorString());
        return;
    }
    QTextStream out(&file);
    out << line << "\r\n";
    out.flush();
    file.close();
    failureReported = false;
}

} // namespace

namespace CommLog {

void setEnabled(bool on)
{
    std::lock_guard<std::mutex> guard(handlerLock());
    if (on) {
        const QtMessageHandler current = qInstallMessageHandler(&messageHandler);
        if (current != &messageHandler)
            previousHandler = current;
        failureReported = false;
        fileOn = true;
    } else if (fileOn) {
        fileOn = false;
        const QtMessageHandler current = qInstallMessageHandler(previousHandler.load());
        if (current != &messageHandler) // the application installed its own over ours: it stays
            qInstallMessageHandler(current);
    }
}

void setClockForTesting(std::function<QDateTime()> clock)
{
    std::lock_guard<std::mutex> guard(handlerLock());
    clockSource() = std::move(clock);
}

void messageHandler(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (fileOn && isLibraryLine(context))
        appendLine(text);
    else
        forward(type, context, text);
}

} // namespace CommLog
