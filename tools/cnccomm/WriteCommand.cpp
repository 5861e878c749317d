#include "WriteCommand.h"

#include "NumberArgument.h"
#include "TargetSession.h"

QString WriteCommand::summary() const
{
    return QStringLiteral("Write controller variables.");
}

QStringList WriteCommand::examples() const
{
    return {QStringLiteral("cnccomm write 1000001=42 1000002=-7"), QStringLiteral("cnccomm --async write 1000005=9")};
}

QString WriteCommand::details() const
{
    return QStringLiteral("ADDRESS as for read; VALUE a signed 32-bit number, e.g. 1000001=-7.\n"
                          "With --async the batch is queued whole or not at all (result 4); a refusal then\n"
                          "arrives as an error report, which counts as the controller refusing.\n"
                          "JSON fields: calls, errorReports.");
}

bool WriteCommand::parse(const QCommandLineParser& parser, const CommonSettings&, QString* error)
{
    const QStringList args = positionalArguments(parser);
    if (args.isEmpty()) {
        *error = QStringLiteral("write needs at least one ADDRESS=VALUE.");
        return false;
    }
    for (const QString& a : args) {
        const int equals = a.indexOf(QLatin1Char('='));
        int32_t address = 0;
        int32_t value = 0;
        if (equals < 0) {
            *error = QStringLiteral("'%1' is not ADDRESS=VALUE.").arg(a);
            return false;
        }
        if (!parseAddress(a.left(equals), &address, error) ||
            !parseInt32(a.mid(equals + 1), &value, QStringLiteral("value"), error))
            return false;
        m_addresses.push_back(address);
        m_values.push_back(value);
    }
    return true;
}

ExitStatus WriteCommand::run(CommandContext& context)
{
    TargetSession session(context, context.common.async);
    if (!session.connect())
        return ExitStatus::NotConnected;
    const int32_t result =
        context.acm.writeVars(m_addresses.data(), int(m_addresses.size()), m_values.data(), session.id());
    context.report.call(QStringLiteral("writeVars"), result);
    if (context.common.async && session.settle())
        return ExitStatus::ControllerRefused;
    return session.outcome(result);
}
