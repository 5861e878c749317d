#include "PositionCommand.h"

#include "NumberArgument.h"
#include "TargetSession.h"

#include <QJsonObject>

namespace {
constexpr int32_t kCoordinateKind = 0;
}

QString PositionCommand::summary() const
{
    return QStringLiteral("Read axis positions without moving.");
}

QString PositionCommand::details() const
{
    return QStringLiteral("AXIS: 0 to 63. Calls getAxisCoord (coordinate kind 0) per axis and prints\n"
                          "\"axis AXIS = POSITION\". JSON fields: positions [{axis, position}], calls.");
}

QStringList PositionCommand::examples() const
{
    return {QStringLiteral("cnccomm position 0 1 2")};
}

bool PositionCommand::parse(const QCommandLineParser& parser, const CommonSettings&, QString* error)
{
    const QStringList args = positionalArguments(parser);
    if (args.isEmpty()) {
        *error = QStringLiteral("position needs at least one axis.");
        return false;
    }
    for (const QString& a : args) {
        int32_t axis = 0;
        if (!parseAxis({a}, QStringLiteral("position"), &axis, error))
            return false;
        m_axes.push_back(axis);
    }
    return true;
}

ExitStatus PositionCommand::run(CommandContext& context)
{
    TargetSession session(context, false);
    if (!session.connect())
        return ExitStatus::NotConnected;
    int32_t result = 0;
    for (int32_t axis : m_axes) {
        int32_t position = 0;
        result = context.acm.getAxisCoord(context.common.channel, axis, kCoordinateKind, &position, session.id());
        if (result != 0)
            break;
        context.report.data(QStringLiteral("axis %1 = %2").arg(axis).arg(position));
        context.report.append(QStringLiteral("positions"),
                              QJsonObject{{QStringLiteral("axis"), axis}, {QStringLiteral("position"), position}});
    }
    context.report.call(QStringLiteral("getAxisCoord"), result);
    return session.outcome(result);
}
