#include "ControlCommand.h"

#include "TargetSession.h"

#include <QJsonObject>

QString ControlCommand::name() const
{
    static const char* const names[] = {"reset", "stop", "estop", "alarm"};
    return QString::fromLatin1(names[int(m_kind)]);
}

QString ControlCommand::summary() const
{
    switch (m_kind) {
    case Kind::Reset: return QStringLiteral("Reset the channel (ends its program).");
    case Kind::Stop: return QStringLiteral("Stop the channel's program.");
    case Kind::EmergencyStop: return QStringLiteral("Set or release the emergency stop.");
    case Kind::Alarm: return QStringLiteral("Read the controller's active alarm.");
    }
    return QString();
}

QString ControlCommand::syntax() const
{
    return m_kind == Kind::EmergencyStop ? QStringLiteral("on|off") : QString();
}

QStringList ControlCommand::examples() const
{
    switch (m_kind) {
    case Kind::Reset: return {QStringLiteral("cnccomm --channel 2 reset")};
    case Kind::Stop: return {QStringLiteral("cnccomm stop")};
    case Kind::EmergencyStop: return {QStringLiteral("cnccomm estop on"), QStringLiteral("cnccomm estop off; cnccomm reset")};
    case Kind::Alarm: return {QStringLiteral("cnccomm alarm")};
    }
    return {};
}

QString ControlCommand::details() const
{
    switch (m_kind) {
    case Kind::Reset: return QStringLiteral("Calls reset, then prgReset. JSON fields: calls.");
    case Kind::Stop: return QStringLiteral("Calls prgStop. JSON fields: calls.");
    case Kind::EmergencyStop:
        return QStringLiteral("Calls emStopSet with 1 (on) or 0 (off). After 'off', reset clears the alarm.\n"
                              "JSON fields: calls.");
    case Kind::Alarm:
        return QStringLiteral("Calls alarmRead and prints \"alarm: none\" or \"alarm: NUMBER on channel CH\".\n"
                              "JSON fields: calls, alarm {active, channel, number}.");
    }
    return QString();
}

bool ControlCommand::parse(const QCommandLineParser& parser, const CommonSettings&, QString* error)
{
    const QStringList args = positionalArguments(parser);
    if (m_kind != Kind::EmergencyStop) {
        if (!args.isEmpty())
            *error = QStringLiteral("%1 takes no arguments.").arg(name());
        return args.isEmpty();
    }
    if (args.size() != 1 || (args[0] != QLatin1String("on") && args[0] != QLatin1String("off"))) {
        *error = QStringLiteral("estop needs exactly one of on and off.");
        return false;
    }
    m_on = args[0] == QLatin1String("on") ? 1 : 0;
    return true;
}

ExitStatus ControlCommand::run(CommandContext& context)
{
    TargetSession session(context, false);
    if (!session.connect())
        return ExitStatus::NotConnected;
    const AcmLibrary& acm = context.acm;
    const int32_t channel = context.common.channel;
    int32_t result = 0;
    switch (m_kind) {
    case Kind::Reset:
        result = acm.reset(channel, session.id());
        context.report.call(QStringLiteral("reset"), result);
        if (result == 0) {
            result = acm.prgReset(channel, session.id());
            context.report.call(QStringLiteral("prgReset"), result);
        }
        break;
    case Kind::Stop:
        result = acm.prgStop(channel, session.id());
        context.report.call(QStringLiteral("prgStop"), result);
        break;
    case Kind::EmergencyStop:
        result = acm.emStopSet(channel, m_on, session.id());
        context.report.call(QStringLiteral("emStopSet"), result);
        break;
    case Kind::Alarm:
        result = readAlarm(context, session.id());
        break;
    }
    return session.outcome(result);
}

int32_t ControlCommand::readAlarm(CommandContext& context, int id)
{
    int32_t active = 0;
    int32_t channel = 0;
    int32_t number = 0;
    const int32_t result = context.acm.alarmRead(context.common.channel, &active, &channel, &number, id);
    if (result != 0) {
        context.report.call(QStringLiteral("alarmRead"), result);
        return result;
    }
    context.report.data(active ? QStringLiteral("alarm: %1 on channel %2").arg(number).arg(channel)
                               : QStringLiteral("alarm: none"));
    context.report.set(QStringLiteral("alarm"), QJsonObject{{QStringLiteral("active"), active != 0},
                                                            {QStringLiteral("channel"), channel},
                                                            {QStringLiteral("number"), number}});
    context.report.call(QStringLiteral("alarmRead"), result);
    return result;
}
