#include "StartCommand.h"

#include "ProgramName.h"
#include "TargetSession.h"

QString StartCommand::summary() const
{
    return QStringLiteral("Start a program of the channel by name.");
}

QString StartCommand::details() const
{
    return QStringLiteral("Calls cycStart: result 103 when the channel has no such program, 102 while another\n"
                          "runs. JSON fields: calls.");
}

bool StartCommand::parse(const QCommandLineParser& parser, const CommonSettings&, QString* error)
{
    const QStringList args = positionalArguments(parser);
    if (args.size() != 1) {
        *error = QStringLiteral("start needs exactly one program name.");
        return false;
    }
    return checkProgramName(args[0], &m_name, error);
}

ExitStatus StartCommand::run(CommandContext& context)
{
    TargetSession session(context, false);
    if (!session.connect())
        return ExitStatus::NotConnected;
    const int32_t result = context.acm.cycStart(context.common.channel, m_name.data(), session.id());
    context.report.call(QStringLiteral("cycStart"), result);
    return session.outcome(result);
}
