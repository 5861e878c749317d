#include "UploadCommand.h"

#include "FtpProgressWait.h"
#include "ProgressDisplay.h"
#include "TargetSession.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonObject>

#include <algorithm>

namespace {
constexpr int32_t kProgramFiles = 1;
constexpr int32_t kPlcFiles = 0;
const QString kPlc = QStringLiteral("plc");
const QString kTo = QStringLiteral("to");
const QString kSystem = QStringLiteral("system");
}

QString UploadCommand::summary() const
{
    return QStringLiteral("Upload files to the controller by FTP.");
}

QStringList UploadCommand::examples() const
{
    return {QStringLiteral("cnccomm upload a.nc b.nc"), QStringLiteral("cnccomm upload --plc main.plc"),
            QStringLiteral("cnccomm upload --to /data/jobs part.nc"), QStringLiteral("cnccomm upload --system update.bin")};
}

QString UploadCommand::details() const
{
    return QStringLiteral(
        "Without options each FILE goes into the channel's program folder (ftpUploadFile, type 1). The\n"
        "upload runs in cnccomm's event loop; it has finished when getFtpUploadFileProgress reaches 100.\n"
        "A refused connection or an error reply of the server ends it at once with the server's reply;\n"
        "a server that stays silent for --timeout seconds, too. A refused connection gives status 3, a\n"
        "refused login or upload 4, silence 5; the server's reasons are printed with their English meaning.\n"
        "JSON fields: calls, bytes (sent in all), files [{path, progress, bytes}].");
}

QList<QCommandLineOption> UploadCommand::options() const
{
    return {QCommandLineOption(kPlc, QStringLiteral("Into the channel's PLC folder (ftpUploadFile, type 0).")),
            QCommandLineOption(kTo, QStringLiteral("Into this remote folder ('/' is added when DIR does not end with one; "
                                                   "ftpUploadFileDes)."),
                               QStringLiteral("DIR")),
            QCommandLineOption(kSystem, QStringLiteral("As a system update package (ftpUpdateSystem)."))};
}

bool UploadCommand::parse(const QCommandLineParser& parser, const CommonSettings&, QString* error)
{
    m_files = positionalArguments(parser);
    if (m_files.isEmpty()) {
        *error = QStringLiteral("upload needs at least one file.");
        return false;
    }
    if (int(parser.isSet(kPlc)) + int(parser.isSet(kTo)) + int(parser.isSet(kSystem)) > 1) {
        *error = QStringLiteral("--plc, --to and --system exclude each other.");
        return false;
    }
    if (parser.isSet(kPlc))
        m_kind = Kind::Plc;
    if (parser.isSet(kSystem))
        m_kind = Kind::SystemUpdate;
    if (parser.isSet(kTo)) {
        m_kind = Kind::ToDirectory;
        m_directory = parser.value(kTo);
        if (m_directory.isEmpty()) {
            *error = QStringLiteral("--to: the folder is empty.");
            return false;
        }
        // The library puts the file name right after it.
        if (!m_directory.endsWith(QLatin1Char('/')))
            m_directory += QLatin1Char('/');
    }
    return true;
}

int32_t UploadCommand::start(const CommandContext& context, int id, const QString& path, QString* function) const
{
    const AcmLibrary& acm = context.acm;
    QByteArray local = QFile::encodeName(path);
    // Named, not left empty: an empty address means the last one connected, and the upload
    // needs no command connection.
    QByteArray host = context.common.host.toLocal8Bit();
    switch (m_kind) {
    case Kind::Program:
    case Kind::Plc:
        *function = QStringLiteral("ftpUploadFile");
        return acm.ftpUploadFile(m_kind == Kind::Program ? kProgramFiles : kPlcFiles, context.common.channel,
                                 local.data(), host.data(), id);
    case Kind::ToDirectory: {
        QByteArray directory = m_directory.toUtf8();
        *function = QStringLiteral("ftpUploadFileDes");
        return acm.ftpUploadFileDes(local.data(), directory.data(), host.data(), id);
    }
    case Kind::SystemUpdate:
        *function = QStringLiteral("ftpUpdateSystem");
        return acm.ftpUpdateSystem(local.data(), host.data(), id);
    }
    return 1;
}

ExitStatus UploadCommand::run(CommandContext& context)
{
    Report& report = context.report;
    for (const QString& path : m_files) {
        QFile file(path);
        const bool readable = file.open(QIODevice::ReadOnly);
        if (!readable || QFileInfo(path).isDir()) {
            report.error(QStringLiteral("cannot read %1: %2").arg(path, readable ? QStringLiteral("a folder") : file.errorString()));
            return ExitStatus::LocalFile;
        }
    }
    TargetSession session(context, false);
    qint64 sent = 0;
    report.set(QStringLiteral("bytes"), sent);
    for (const QString& path : m_files) {
        QString function;
        const int32_t result = start(context, session.id(), QFileInfo(path).absoluteFilePath(), &function);
        report.call(function, result);
        if (result != 0)
            return exitStatusForResult(result);
        ProgressDisplay display(QStringLiteral("upload %1").arg(QFileInfo(path).fileName()), report);
        const double progress = FtpProgressWait(context.acm, session.id(), context.common.timeoutSeconds).run(display);
        const qint64 bytes = qint64(QFileInfo(path).size() * std::min(progress, 100.0) / 100);
        sent += bytes;
        report.set(QStringLiteral("bytes"), sent);
        report.append(QStringLiteral("files"), QJsonObject{{QStringLiteral("path"), path},
                                                           {QStringLiteral("progress"), progress},
                                                           {QStringLiteral("bytes"), bytes}});
        const QList<ErrorReports::Entry> reports = session.takeErrorReportList();
        if (progress < 100) {
            QString reason;
            const ExitStatus status = FtpProgressWait::failure(reports, &reason);
            report.error(QStringLiteral("the upload of %1 stopped at %2%: %3")
                             .arg(path)
                             .arg(progress)
                             .arg(reason.isEmpty() ? QStringLiteral("no progress for %1 s").arg(context.common.timeoutSeconds)
                                                   : reason));
            return status;
        }
        report.note(QStringLiteral("uploaded %1").arg(path));
    }
    return ExitStatus::Success;
}
