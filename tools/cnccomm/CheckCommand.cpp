#include "CheckCommand.h"

#include "RunningProgram.h"
#include "TargetSession.h"

QString CheckCommand::summary() const
{
    return QStringLiteral("Connect, check the watchdog and the link, show whether a program runs.");
}

QString CheckCommand::details() const
{
    return QStringLiteral("Calls connect, CheckTcpWdt, getTcpConnectFlag, getRuningPrg and, for the program it names,\n"
                          "getTransFileState (state 2: that program is being executed). Prints \"program: NAME\n"
                          "(running)\", \"program: no program running (...)\", \"program: none named\" or \"program: no\n"
                          "reply\". JSON fields: connected, probe, program {name, state}, runningProgram.");
}

QStringList CheckCommand::examples() const
{
    return {QStringLiteral("cnccomm --host 192.168.1.20 check")};
}

bool CheckCommand::parse(const QCommandLineParser& parser, const CommonSettings&, QString* error)
{
    if (!positionalArguments(parser).isEmpty()) {
        *error = QStringLiteral("check takes no arguments.");
        return false;
    }
    return true;
}

ExitStatus CheckCommand::run(CommandContext& context)
{
    const AcmLibrary& acm = context.acm;
    Report& report = context.report;
    TargetSession session(context, false);
    if (!session.connect())
        return ExitStatus::NotConnected;
    report.note(QStringLiteral("connect: true (connected to %1)").arg(context.common.host));
    ExitStatus status = ExitStatus::Success;

    const int32_t watchdog = acm.CheckTcpWdt(session.id());
    report.call(QStringLiteral("CheckTcpWdt"), watchdog);
    if (watchdog != 0)
        status = exitStatusForResult(watchdog);

    const bool probe = acm.getTcpConnectFlag(session.id());
    report.call(QStringLiteral("getTcpConnectFlag"), probe,
                probe ? QStringLiteral("the controller answered a variable read")
                      : QStringLiteral("no reply to a variable read, or not connected"));
    report.set(QStringLiteral("probe"), probe);
    report.data(QStringLiteral("link: %1").arg(probe && watchdog == 0 ? QStringLiteral("the controller answers")
                                                                       : QStringLiteral("no valid answer")));
    if (!probe && status == ExitStatus::Success)
        status = ExitStatus::NoReply;

    const RunningProgram program = RunningProgram::read(context, session.id());
    program.put(report);
    if (program.state == RunningProgram::State::NoReply && status == ExitStatus::Success)
        status = ExitStatus::NoReply;
    return session.takeErrorReports() ? ExitStatus::ControllerRefused : status;
}
