#include "MkdirCommand.h"

#include "FtpProgressWait.h"
#include "ProgressDisplay.h"
#include "CallMeaning.h"
#include "TargetSession.h"

QString MkdirCommand::summary() const
{
    return QStringLiteral("Make a folder on the controller by FTP.");
}

QStringList MkdirCommand::examples() const
{
    return {QStringLiteral("cnccomm mkdir /data"), QStringLiteral("cnccomm mkdir --parents /data/jobs/2024")};
}

QString MkdirCommand::details() const
{
    return QStringLiteral("One folder; its parent must exist, or with --parents the missing parents are made first (a parent\n"
                          "the server refuses to make, being there already, is passed over). Finished when\n"
                          "getFtpUploadFileProgress reaches 100. Status as for upload: 3 a refused connection, 4 a\n"
                          "refusal of the server, 5 no progress within --timeout seconds. JSON fields: calls, progress.");
}

QList<QCommandLineOption> MkdirCommand::options() const
{
    // Long only: -p is the port.
    return {QCommandLineOption(QStringLiteral("parents"), QStringLiteral("Make the missing parent folders too."))};
}

bool MkdirCommand::parse(const QCommandLineParser& parser, const CommonSettings&, QString* error)
{
    const QStringList args = positionalArguments(parser);
    if (args.size() != 1 || args[0].isEmpty()) {
        *error = QStringLiteral("mkdir needs exactly one folder.");
        return false;
    }
    m_directory = args[0].toLatin1();
    m_parents = parser.isSet(QStringLiteral("parents"));
    return true;
}

ExitStatus MkdirCommand::make(CommandContext& context, TargetSession& session, const QByteArray& folder, QString* reason)
{
    QByteArray host = context.common.host.toLocal8Bit();
    QByteArray path = folder;
    const int32_t result = context.acm.ftpMkdir(path.data(), host.data(), session.id());
    context.report.call(QStringLiteral("ftpMkdir"), result);
    if (result != 0) {
        *reason = callMeaning(QStringLiteral("ftpMkdir"), result);
        return exitStatusForResult(result);
    }
    ProgressDisplay display(QStringLiteral("mkdir %1").arg(QString::fromLatin1(folder)), context.report);
    const double progress = FtpProgressWait(context.acm, session.id(), context.common.timeoutSeconds).run(display);
    context.report.set(QStringLiteral("progress"), progress);
    const QList<ErrorReports::Entry> reports = session.takeErrorReportList();
    if (progress >= 100)
        return ExitStatus::Success;
    const ExitStatus status = FtpProgressWait::failure(reports, reason);
    if (reason->isEmpty())
        *reason = QStringLiteral("no progress for %1 s").arg(context.common.timeoutSeconds);
    return status;
}

ExitStatus MkdirCommand::run(CommandContext& context)
{
    TargetSession session(context, false);
    QList<QByteArray> folders;
    if (m_parents)
        for (int slash = m_directory.indexOf('/', 1); slash > 0; slash = m_directory.indexOf('/', slash + 1))
            folders << m_directory.left(slash);
    folders << m_directory;
    ExitStatus status = ExitStatus::Success;
    QString reason;
    for (const QByteArray& folder : folders) {
        status = make(context, session, folder, &reason);
        // A parent that cannot be made may well be there; only a lost link or a stop ends the walk.
        if (status == ExitStatus::ControllerRefused && folder != m_directory)
            continue;
        // As mkdir -p does, a folder that is there already is no failure (the server says so).
        if (m_parents && status == ExitStatus::ControllerRefused && reason.contains(QLatin1String("exist"), Qt::CaseInsensitive))
            status = ExitStatus::Success;
        if (status != ExitStatus::Success)
            break;
    }
    if (status != ExitStatus::Success) {
        context.report.error(QStringLiteral("mkdir %1 did not finish: %2").arg(QString::fromLatin1(m_directory), reason));
        return status;
    }
    context.report.note(QStringLiteral("made %1").arg(QString::fromLatin1(m_directory)));
    return ExitStatus::Success;
}
