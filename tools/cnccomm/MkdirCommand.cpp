#include "MkdirCommand.h"

#include "FtpProgressWait.h"
#include "ProgressDisplay.h"
#include "TargetSession.h"

QString MkdirCommand::summary() const
{
    return QStringLiteral("Make a folder on the controller by FTP.");
}

QString MkdirCommand::details() const
{
    return QStringLiteral("One folder; its parent must exist. Finished when getFtpUploadFileProgress reaches 100;\n"
                          "exit status 8 when it does not within --timeout seconds. JSON fields: calls, progress.");
}

bool MkdirCommand::parse(const QCommandLineParser& parser, const CommonSettings&, QString* error)
{
    const QStringList args = positionalArguments(parser);
    if (args.size() != 1 || args[0].isEmpty()) {
        *error = QStringLiteral("mkdir needs exactly one folder.");
        return false;
    }
    m_directory = args[0].toLatin1();
    return true;
}

ExitStatus MkdirCommand::run(CommandContext& context)
{
    TargetSession session(context, false);
    QByteArray host = context.common.host.toLocal8Bit();
    const int32_t result = context.acm.ftpMkdir(m_directory.data(), host.data(), session.id());
    context.report.call(QStringLiteral("ftpMkdir"), result);
    if (result != 0)
        return exitStatusForResult(result);
    ProgressDisplay display(QStringLiteral("mkdir %1").arg(QString::fromLatin1(m_directory)), true);
    const double progress = FtpProgressWait(context.acm, session.id(), context.common.timeoutSeconds).run(display);
    context.report.set(QStringLiteral("progress"), progress);
    const QString serverSaid = session.takeErrorReportText();
    if (progress < 100) {
        context.report.error(QStringLiteral("mkdir %1 did not finish: %2")
                                 .arg(QString::fromLatin1(m_directory),
                                      serverSaid.isEmpty()
                                          ? QStringLiteral("no progress for %1 s").arg(context.common.timeoutSeconds)
                                          : serverSaid));
        return ExitStatus::Unfinished;
    }
    context.report.line(QStringLiteral("made %1").arg(QString::fromLatin1(m_directory)));
    return ExitStatus::Success;
}
