#include "SendCommand.h"

#include "InterruptFlag.h"
#include "NumberArgument.h"
#include "ProgramFile.h"
#include "ProgramName.h"
#include "ProgressDisplay.h"
#include "TargetSession.h"

#include <QFileInfo>

namespace {
// Less than the library's 400-byte block, so that every overwrite or append call sends exactly
// one block (a full block would make it send one more, empty, to end the text).
constexpr int kPieceBytes = 399;
const QString kName = QStringLiteral("name");
const QString kType = QStringLiteral("type");
const QString kStart = QStringLiteral("start");
}

QString SendCommand::summary() const
{
    return QStringLiteral("Write a program file into the channel by text transfer (and start it).");
}

QString SendCommand::details() const
{
    return QStringLiteral(
        "The file must be 7-bit text without NUL bytes. Calls setTransFileType, overwrite and append\n"
        "(one block each, with progress), fileEnd, and with --start cycStart. Interrupted (Ctrl-C), it\n"
        "sends no further block, ends the transfer with fileEnd and says from which line to continue.\n"
        "JSON fields: calls, name, bytes; when interrupted also acknowledged, lines, resumeFromLine.");
}

QList<QCommandLineOption> SendCommand::options() const
{
    return QList<QCommandLineOption>{QCommandLineOption(kName, QStringLiteral("Program name on the controller (default: the file's name)."),
                               QStringLiteral("NAME")),
            QCommandLineOption(kType, QStringLiteral("File type of the declaration (default 1)."), QStringLiteral("N")),
            QCommandLineOption(kStart, QStringLiteral("Start the program once it is written."))} +
           ProgramResume::options();
}

bool SendCommand::parse(const QCommandLineParser& parser, const CommonSettings&, QString* error)
{
    const QStringList args = positionalArguments(parser);
    if (args.size() != 1) {
        *error = QStringLiteral("send needs exactly one program file.");
        return false;
    }
    m_path = args[0];
    const QString name = parser.isSet(kName) ? parser.value(kName) : QFileInfo(m_path).fileName();
    if (!checkProgramName(name, &m_name, error))
        return false;
    if (parser.isSet(kType) && !parseInt32(parser.value(kType), &m_type, QStringLiteral("--type"), error))
        return false;
    m_start = parser.isSet(kStart);
    return m_resume.take(parser, error);
}

ExitStatus SendCommand::run(CommandContext& context)
{
    Report& report = context.report;
    if (!m_resume.load(m_path, &m_text, report))
        return ExitStatus::LocalFile;
    InterruptFlag::install();
    report.set(QStringLiteral("name"), QString::fromLatin1(m_name));
    report.set(QStringLiteral("bytes"), m_text.size());

    TargetSession session(context, false);
    if (!session.connect())
        return ExitStatus::NotConnected;
    const AcmLibrary& acm = context.acm;
    const int32_t channel = context.common.channel;
    int32_t result = acm.setTransFileType(m_type, channel, m_name.data(), session.id());
    report.call(QStringLiteral("setTransFileType"), result);
    bool interrupted = false;
    if (result == 0 && sendPieces(context, session.id(), &result, &interrupted)) {
        result = acm.fileEnd(channel, session.id());
        report.call(QStringLiteral("fileEnd"), result);
        if (result == 0 && m_start) {
            result = acm.cycStart(channel, m_name.data(), session.id());
            report.call(QStringLiteral("cycStart"), result);
        }
    }
    if (interrupted)
        return endInterrupted(context, session.id());
    return session.outcome(result);
}

ExitStatus SendCommand::endInterrupted(CommandContext& context, int id)
{
    context.report.error(QStringLiteral("interrupted after %1 of %2 bytes").arg(m_sent).arg(m_text.size()));
    context.report.call(QStringLiteral("fileEnd"), context.acm.fileEnd(context.common.channel, id));
    m_resume.reportStop(m_text, m_sent, context.report);
    return ExitStatus::Interrupted;
}

bool SendCommand::sendPieces(CommandContext& context, int id, int32_t* result, bool* interrupted)
{
    const AcmLibrary& acm = context.acm;
    const int32_t channel = context.common.channel;
    ProgressDisplay progress(QStringLiteral("send %1").arg(QString::fromLatin1(m_name)), context.report.json());
    progress.update(0);
    int offset = 0;
    int pieces = 0;
    do {
        if (InterruptFlag::raised()) {
            progress.finish();
            *interrupted = true;
            return false;
        }
        QByteArray piece = m_text.mid(offset, kPieceBytes);
        *result = offset == 0 ? acm.overwrite(piece.data(), channel, id) : acm.append(piece.data(), channel, id);
        if (*result != 0) {
            progress.finish();
            context.report.call(offset == 0 ? QStringLiteral("overwrite") : QStringLiteral("append"), *result);
            context.report.error(QStringLiteral("the transfer stopped after %1 of %2 bytes").arg(offset).arg(m_text.size()));
            return false;
        }
        ++pieces;
        offset += piece.size();
        m_sent = offset;
        progress.update(m_text.isEmpty() ? 100.0 : offset * 100.0 / m_text.size());
    } while (offset < m_text.size());
    progress.finish();
    context.report.call(QStringLiteral("overwrite"), 0);
    if (pieces > 1)
        context.report.call(QStringLiteral("append"), 0);
    context.report.line(QStringLiteral("sent %1 bytes in %2 blocks").arg(offset).arg(pieces));
    context.report.set(QStringLiteral("blocks"), pieces);
    return true;
}
