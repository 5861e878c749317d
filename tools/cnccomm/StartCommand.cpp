#include "StartCommand.h"

#include "ErrorReports.h"
#include "ProgramName.h"
#include "StopGuard.h"
#include "TargetSession.h"

#include <QElapsedTimer>
#include <QThread>

namespace {
constexpr int32_t kProgramFile = 1;
constexpr int32_t kBeingExecuted = 102;
constexpr int kAskEveryMs = 200;
constexpr int kStepMs = 10;
const QString kWait = QStringLiteral("wait");
}

QString StartCommand::summary() const
{
    return QStringLiteral("Start a program of the channel by name (and wait until it ends).");
}

QString StartCommand::details() const
{
    return QStringLiteral("Calls cycStart: result 103 when the channel has no such program, 102 while another runs.\n"
                          "--wait: then asks getTransFileState every 200 ms until the program is no longer being\n"
                          "executed (result 0). A signal or the --deadline during the wait stops the program\n"
                          "(prgStop), so that nothing moves unwatched, and ends with 130 or 5.\n"
                          "JSON fields: calls, ended.");
}

QStringList StartCommand::examples() const
{
    return {QStringLiteral("cnccomm start O1000"), QStringLiteral("cnccomm --channel 2 start O1000 --wait")};
}

QList<QCommandLineOption> StartCommand::options() const
{
    return {QCommandLineOption(kWait, QStringLiteral("Wait until the program has ended."))};
}

bool StartCommand::parse(const QCommandLineParser& parser, const CommonSettings&, QString* error)
{
    const QStringList args = positionalArguments(parser);
    if (args.size() != 1) {
        *error = QStringLiteral("start needs exactly one program name.");
        return false;
    }
    m_wait = parser.isSet(kWait);
    return checkProgramName(args[0], &m_name, error);
}

ExitStatus StartCommand::run(CommandContext& context)
{
    TargetSession session(context, false);
    if (!session.connect())
        return ExitStatus::NotConnected;
    const int32_t result = context.acm.cycStart(context.common.channel, m_name.data(), session.id());
    context.report.call(QStringLiteral("cycStart"), result);
    const ExitStatus status = session.outcome(result);
    if (status != ExitStatus::Success || !m_wait)
        return status;
    return waitForEnd(context, session.id());
}

ExitStatus StartCommand::waitForEnd(CommandContext& context, int id)
{
    const int32_t channel = context.common.channel;
    for (;;) {
        const int32_t asked = context.acm.getTransFileState(kProgramFile, channel, m_name.data(), id);
        ErrorReports::take(); // "being executed" is the answer here, not a failure
        if (asked != kBeingExecuted) {
            context.report.call(QStringLiteral("getTransFileState"), asked);
            context.report.set(QStringLiteral("ended"), asked == 0);
            if (asked == 0)
                context.report.note(QStringLiteral("%1 has ended").arg(QString::fromLatin1(m_name)));
            return exitStatusForResult(asked);
        }
        QElapsedTimer paused;
        paused.start();
        while (paused.elapsed() < kAskEveryMs && !StopGuard::stopRequested())
            QThread::msleep(kStepMs);
        if (StopGuard::stopRequested()) {
            const int32_t stopped = context.acm.prgStop(channel, id);
            context.report.call(QStringLiteral("prgStop"), stopped);
            context.report.error(QStringLiteral("%1: the program was %2").arg(StopGuard::describe())
                                     .arg(stopped == 0 ? QStringLiteral("stopped") : QStringLiteral("not stopped")));
            return StopGuard::status();
        }
    }
}
