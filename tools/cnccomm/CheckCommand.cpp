#include "CheckCommand.h"

#include "TargetSession.h"

QString CheckCommand::summary() const
{
    return QStringLiteral("Connect, check the watchdog and the link, show the running program.");
}

QString CheckCommand::details() const
{
    return QStringLiteral("Calls connect, CheckTcpWdt, getTcpConnectFlag and getRuningPrg for the channel.\n"
                          "JSON fields: connected, calls, probe, runningProgram.");
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
    report.line(QStringLiteral("connect: true (connected to %1)").arg(context.common.host));
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
    if (!probe && status == ExitStatus::Success)
        status = ExitStatus::NoReply;

    const char* program = acm.getRuningPrg(context.common.channel, session.id());
    if (program) {
        report.line(QStringLiteral("getRuningPrg: \"%1\" (the program of channel %2)")
                        .arg(QString::fromLocal8Bit(program))
                        .arg(context.common.channel));
        report.set(QStringLiteral("runningProgram"), QString::fromLocal8Bit(program));
    } else {
        report.line(QStringLiteral("getRuningPrg: no answer"));
        if (status == ExitStatus::Success)
            status = ExitStatus::NoReply;
    }
    return session.takeErrorReports() ? ExitStatus::ControllerRefused : status;
}
