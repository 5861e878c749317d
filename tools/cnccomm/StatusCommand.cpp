#include "StatusCommand.h"

#include "RunningProgram.h"
#include "TargetSession.h"

#include <QJsonArray>
#include <QJsonObject>

namespace {
constexpr int kAxes = 4; // getAxesCoord answers the first four
constexpr int32_t kFirstAxesMask = (1 << kAxes) - 1;
}

QString StatusCommand::summary() const
{
    return QStringLiteral("Show the link, the channel's program, the alarm and the axes.");
}

QString StatusCommand::details() const
{
    return QStringLiteral(
        "Calls CheckTcpWdt (link), getRuningPrg and getTransFileState (program, as check), alarmRead, and\n"
        "getAxesCoord and getAxesMotionStatus for axes 0 to 3. The interface has no query of the operating\n"
        "mode or of the emergency stop: a pressed emergency stop shows as the controller's alarm.\n"
        "JSON fields: link, program, runningProgram, alarm {active, channel, number}, axes [{axis,\n"
        "position, moving}], calls.");
}

QStringList StatusCommand::examples() const
{
    return {QStringLiteral("cnccomm --channel 2 status"), QStringLiteral("cnccomm --json status")};
}

bool StatusCommand::parse(const QCommandLineParser& parser, const CommonSettings&, QString* error)
{
    if (!positionalArguments(parser).isEmpty()) {
        *error = QStringLiteral("status takes no arguments.");
        return false;
    }
    return true;
}

ExitStatus StatusCommand::run(CommandContext& context)
{
    TargetSession session(context, false);
    if (!session.connect())
        return ExitStatus::NotConnected;
    const int32_t watchdog = context.acm.CheckTcpWdt(session.id());
    context.report.call(QStringLiteral("CheckTcpWdt"), watchdog);
    context.report.data(QStringLiteral("link: %1").arg(watchdog == 0 ? QStringLiteral("the controller answers")
                                                                      : QStringLiteral("no valid answer")));
    context.report.set(QStringLiteral("link"), watchdog == 0);
    const RunningProgram program = RunningProgram::read(context, session.id());
    program.put(context.report);
    int32_t result = readAlarm(context, session.id());
    if (result == 0)
        result = readAxes(context, session.id());
    if (result == 0 && watchdog != 0)
        result = watchdog;
    return session.outcome(result);
}

int32_t StatusCommand::readAlarm(CommandContext& context, int id)
{
    int32_t active = 0, channel = 0, number = 0;
    const int32_t result = context.acm.alarmRead(context.common.channel, &active, &channel, &number, id);
    context.report.call(QStringLiteral("alarmRead"), result);
    if (result != 0)
        return result;
    context.report.data(active ? QStringLiteral("alarm: %1 on channel %2").arg(number).arg(channel)
                               : QStringLiteral("alarm: none"));
    context.report.set(QStringLiteral("alarm"), QJsonObject{{QStringLiteral("active"), active != 0},
                                                            {QStringLiteral("channel"), channel},
                                                            {QStringLiteral("number"), number}});
    return result;
}

int32_t StatusCommand::readAxes(CommandContext& context, int id)
{
    const int32_t channel = context.common.channel;
    int32_t coords[kAxes] = {};
    int32_t result = context.acm.getAxesCoord(channel, 0, 0, 0, kAxes, coords, id);
    context.report.call(QStringLiteral("getAxesCoord"), result);
    int32_t high = 0, low = 0;
    if (result == 0) {
        result = context.acm.getAxesMotionStatus(channel, 0, kFirstAxesMask, &high, &low, id);
        context.report.call(QStringLiteral("getAxesMotionStatus"), result);
    }
    if (result != 0)
        return result;
    QJsonArray axes;
    for (int axis = 0; axis < kAxes; ++axis) {
        const bool moving = (uint32_t(low) >> axis) & 1u;
        context.report.data(QStringLiteral("axis %1 = %2 (%3)").arg(axis).arg(coords[axis])
                                .arg(moving ? QStringLiteral("moving") : QStringLiteral("still")));
        axes.append(QJsonObject{{QStringLiteral("axis"), axis}, {QStringLiteral("position"), coords[axis]},
                                {QStringLiteral("moving"), moving}});
    }
    context.report.set(QStringLiteral("axes"), axes);
    return result;
}
