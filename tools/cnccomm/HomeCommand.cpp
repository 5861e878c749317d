#include "HomeCommand.h"

#include "AxisPosition.h"
#include "NumberArgument.h"
#include "StopGuard.h"
#include "TargetSession.h"

#include <QElapsedTimer>
#include <QThread>

namespace {
constexpr int kEndPollMs = 20;
const QString kNoWait = QStringLiteral("no-wait");
}

QString HomeCommand::summary() const
{
    return QStringLiteral("Home an axis.");
}

QStringList HomeCommand::examples() const
{
    return {QStringLiteral("cnccomm home 0"), QStringLiteral("cnccomm home 1 --no-wait")};
}

QString HomeCommand::details() const
{
    return QStringLiteral("AXIS: 0 to 63. Calls homeRunAxis, then homeAxisIsEnd until homing has ended (at most\n"
                          "--timeout), and prints the axis position. JSON fields: calls, homed, position.");
}

QList<QCommandLineOption> HomeCommand::options() const
{
    return {QCommandLineOption(kNoWait, QStringLiteral("Start homing and return at once."))};
}

bool HomeCommand::parse(const QCommandLineParser& parser, const CommonSettings&, QString* error)
{
    if (!parseAxis(positionalArguments(parser), QStringLiteral("home"), &m_axis, error))
        return false;
    m_wait = !parser.isSet(kNoWait);
    return true;
}

ExitStatus HomeCommand::run(CommandContext& context)
{
    TargetSession session(context, false);
    if (!session.connect())
        return ExitStatus::NotConnected;
    const int32_t result = context.acm.homeRunAxis(context.common.channel, m_axis, session.id());
    context.report.call(QStringLiteral("homeRunAxis"), result);
    ExitStatus status = session.outcome(result);
    if (status == ExitStatus::Success && m_wait)
        status = waitForEnd(context, session.id());
    return session.takeErrorReports() ? ExitStatus::ControllerRefused : status;
}

ExitStatus HomeCommand::waitForEnd(CommandContext& context, int id)
{
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        int32_t isEnd = 0;
        const int32_t result = context.acm.homeAxisIsEnd(context.common.channel, m_axis, &isEnd, id);
        if (result != 0 || isEnd) {
            context.report.call(QStringLiteral("homeAxisIsEnd"), result);
            context.report.set(QStringLiteral("homed"), result == 0);
            if (result != 0)
                return exitStatusForResult(result);
            context.report.note(QStringLiteral("axis %1 homed").arg(m_axis));
            return reportAxisPosition(context, id, m_axis);
        }
        if (StopGuard::stopRequested()) {
            context.report.error(QStringLiteral("%1 while axis %2 homed").arg(StopGuard::describe()).arg(m_axis));
            return StopGuard::status();
        }
        if (waited.elapsed() >= qint64(context.common.timeoutSeconds * 1000)) {
            context.report.set(QStringLiteral("homed"), false);
            context.report.error(QStringLiteral("axis %1 not homed after %2 s").arg(m_axis).arg(context.common.timeoutSeconds));
            return ExitStatus::NoReply;
        }
        QThread::msleep(kEndPollMs);
    }
}
