#include "SendCommand.h"

#include "NumberArgument.h"
#include "ProgramFile.h"
#include "ProgramName.h"
#include "ProgressDisplay.h"
#include "StopGuard.h"
#include "TargetSession.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QThread>

namespace {
// Less than the library's 400-byte block, so that every overwrite or append call sends exactly
// one block (a full block would make it send one more, empty, to end the text).
constexpr int kPieceBytes = 399;
constexpr int32_t kStopped = -1;
// The longest a block's request takes without a memory-full wait: a reply wait and a link renewal.
constexpr int kOneRequestMs = 2500;
constexpr int kUnblockPollMs = 10;
const QString kName = QStringLiteral("name");
const QString kType = QStringLiteral("type");
const QString kStart = QStringLiteral("start");

// The next piece from offset: whole lines where they fit, so that an interruption leaves the
// controller holding whole lines.
int pieceLength(const QByteArray& text, int offset)
{
    const int rest = text.size() - offset;
    if (rest <= kPieceBytes)
        return rest;
    const int lastNewline = text.lastIndexOf('\n', offset + kPieceBytes - 1);
    return lastNewline >= offset ? lastNewline + 1 - offset : kPieceBytes;
}
}

QString SendCommand::summary() const
{
    return QStringLiteral("Write a program file into the channel by text transfer (and start it).");
}

QString SendCommand::details() const
{
    return QStringLiteral(
        "The file must be 7-bit text without NUL bytes. Calls setTransFileType, overwrite and append (one\n"
        "block of whole lines each, with progress), fileEnd, and with --start cycStart. While the controller\n"
        "answers \"DNC memory full\" the library offers the block again; no progress for --timeout seconds\n"
        "ends the wait (status 5). Interrupted (Ctrl-C, SIGTERM, SIGHUP: 130), at the --deadline (5), or\n"
        "when the link drops (3), it sends no further block and says from which line to continue:\n"
        "--from-line N then declares the file with getTransFileState, which keeps what the controller holds,\n"
        "and appends the rest, so that the stored program is whole.\n"
        "JSON fields: name, bytes, blocks, calls; when stopped midway also acknowledged, lines, resumeFromLine.");
}

QStringList SendCommand::examples() const
{
    return {QStringLiteral("cnccomm --channel 2 send O1000.nc --start"),
            QStringLiteral("cnccomm send part.nc --name O1000 --from-line 1835")};
}

QList<QCommandLineOption> SendCommand::options() const
{
    return QList<QCommandLineOption>{
               QCommandLineOption(kName, QStringLiteral("Program name on the controller (default: the file's name)."),
                                  QStringLiteral("NAME")),
               QCommandLineOption(kType, QStringLiteral("File type of the declaration (default 1)."), QStringLiteral("N")),
               QCommandLineOption(kStart, QStringLiteral("Start the program once it is written."))} +
           m_resume.options();
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
    report.set(QStringLiteral("name"), QString::fromLatin1(m_name));
    report.set(QStringLiteral("bytes"), m_text.size());

    TargetSession session(context, false);
    if (!session.connect())
        return ExitStatus::NotConnected;
    const AcmLibrary& acm = context.acm;
    const int32_t channel = context.common.channel;
    int32_t result = declare(context, session.id());
    if (result == 0)
        result = sendPieces(context, session.id());
    if (StopGuard::stopRequested() || (m_sent > 0 && m_sent < m_text.size()))
        return endEarly(context, session, result);
    if (result == 0) {
        result = acm.fileEnd(channel, session.id());
        report.call(QStringLiteral("fileEnd"), result);
    }
    if (result == 0 && m_start) {
        result = acm.cycStart(channel, m_name.data(), session.id());
        report.call(QStringLiteral("cycStart"), result);
    }
    return session.outcome(result);
}

int32_t SendCommand::declare(CommandContext& context, int id)
{
    const int32_t channel = context.common.channel;
    if (m_resume.fromLine() == 1) {
        const int32_t result = context.acm.setTransFileType(m_type, channel, m_name.data(), id);
        context.report.call(QStringLiteral("setTransFileType"), result);
        return result;
    }
    const int32_t result = context.acm.getTransFileState(m_type, channel, m_name.data(), id);
    context.report.call(QStringLiteral("getTransFileState"), result);
    if (result == 0)
        context.report.note(QStringLiteral("appending line %1 on to the program %2 the controller holds")
                                .arg(m_resume.fromLine())
                                .arg(QString::fromLatin1(m_name)));
    return result;
}

int32_t SendCommand::sendPiece(CommandContext& context, int id, const QByteArray& piece, bool first)
{
    QByteArray text = piece;
    m_inCall = true;
    int32_t result = kStopped;
    if (!StopGuard::stopRequested())
        result = first ? context.acm.overwrite(text.data(), context.common.channel, id)
                       : context.acm.append(text.data(), context.common.channel, id);
    m_inCall = false;
    return result;
}

int32_t SendCommand::sendPieces(CommandContext& context, int id)
{
    // Only a disconnect ends the library's wait while the controller's memory stays full. A call
    // that is merely waiting for its reply ends by itself, and the transfer then ends cleanly.
    StopGuard::setUnblock([this, &context, id] {
        QElapsedTimer waited;
        waited.start();
        while (m_inCall && StopGuard::reason() != StopGuard::Reason::Stalled && waited.elapsed() < kOneRequestMs)
            QThread::msleep(kUnblockPollMs);
        if (m_inCall)
            context.acm.disconnect(id);
    });
    StopGuard::setStallLimit(int(context.common.timeoutSeconds * 1000));
    ProgressDisplay progress(QStringLiteral("send %1").arg(QString::fromLatin1(m_name)), context.report);
    progress.update(0);
    int pieces = 0;
    int32_t result = 0;
    const bool whole = m_resume.fromLine() == 1;
    do {
        const QByteArray piece = m_text.mid(m_sent, pieceLength(m_text, m_sent));
        result = sendPiece(context, id, piece, whole && m_sent == 0);
        if (result != 0)
            break;
        StopGuard::progress();
        ++pieces;
        m_sent += piece.size();
        progress.update(m_text.isEmpty() ? 100.0 : m_sent * 100.0 / m_text.size());
    } while (m_sent < m_text.size());
    StopGuard::setStallLimit(0);
    StopGuard::setUnblock(nullptr);
    progress.finish();
    const QString first = whole ? QStringLiteral("overwrite") : QStringLiteral("append");
    if (result == 0 || m_sent > 0)
        context.report.call(first, 0);
    if (pieces > 1 && (result == 0 || m_sent > 0) && whole)
        context.report.call(QStringLiteral("append"), 0);
    if (result != 0 && result != kStopped)
        context.report.call(m_sent > 0 ? QStringLiteral("append") : first, result);
    context.report.note(QStringLiteral("sent %1 bytes in %2 blocks").arg(m_sent).arg(pieces));
    context.report.set(QStringLiteral("blocks"), pieces);
    return result;
}

ExitStatus SendCommand::endEarly(CommandContext& context, TargetSession& session, int32_t result)
{
    const bool stopped = StopGuard::stopRequested();
    const bool refused = session.takeErrorReports();
    context.report.error(QStringLiteral("%1 after %2 of %3 bytes")
                             .arg(stopped ? StopGuard::describe() : QStringLiteral("the transfer stopped"))
                             .arg(m_sent)
                             .arg(m_text.size()));
    context.report.call(QStringLiteral("fileEnd"), context.acm.fileEnd(context.common.channel, session.id()));
    m_resume.reportStop(m_text, m_sent, context.report);
    if (stopped)
        return StopGuard::status();
    return refused ? ExitStatus::ControllerRefused : exitStatusForResult(result);
}
