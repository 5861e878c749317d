#include "StreamCommand.h"

#include "ProgramFile.h"
#include "ProgramName.h"
#include "ProgressDisplay.h"
#include "StopGuard.h"
#include "CallMeaning.h"

#include <QFileInfo>
#include <QThread>

#include <algorithm>

namespace {
// The buffer's states.
constexpr int32_t kReady = 0;
constexpr int32_t kClosed = 3;
constexpr int32_t kRefused = 4;
constexpr int32_t kIdle = 5;
constexpr int kMdiMode = 0;
constexpr int kDncMode = 1;
constexpr int kPieceBytes = 480;       // text per append request of the buffer
constexpr int kQueueFrames = 1000;     // frames the buffer queues at most
constexpr int kMdiByteBudget = 102400; // what one MDI stream may hold
constexpr int kLongestWriteBytes = 100 * kPieceBytes; // per bufWrite, so that progress moves evenly
constexpr int kConnectGraceMs = 1500;  // past the buffer's own 500 ms connect wait
constexpr int kPollMs = 10;
const QString kMode = QStringLiteral("mode");

bool acceptsWrites(int32_t state)
{
    return state == kReady || state == kIdle;
}

// The buffer's states in a word each, for the progress bar.
QString stateName(int32_t state)
{
    static const char* const names[] = {"ready", "controller busy", "declaring the file", "closed", "refused, repeating",
                                        "idle"};
    return state >= 0 && state <= kIdle ? QString::fromLatin1(names[state]) : QStringLiteral("state %1").arg(state);
}

QString stateText(const AcmLibrary& acm, AcmRemoteBuffer* buffer)
{
    const char* text = acm.getBufStateInf(buffer);
    return text ? QString::fromUtf8(text) : QString();
}

// A stopped buffer: a lost or refused link, or no (valid) reply.
ExitStatus closedCause(const QString& text)
{
    return text.startsWith(QLatin1String("No reply")) || text.startsWith(QLatin1String("No valid reply"))
               ? ExitStatus::NoReply
               : ExitStatus::NotConnected;
}
}

QString StreamCommand::summary() const
{
    return QStringLiteral("Stream a program through the remote buffer.");
}

QString StreamCommand::details() const
{
    return QStringLiteral(
        "The file must be 7-bit text without NUL bytes; in MDI mode at most 102400 bytes. Opens a buffer\n"
        "on the channel (bufOpen), writes the text as the buffer has room (bufWrite, getBufValidCnt) and\n"
        "waits until the controller has taken it all (state 5), then closes the buffer. A buffer that\n"
        "makes no progress for --timeout seconds ends the stream (5); a buffer the controller closes, 3.\n"
        "Interrupted (Ctrl-C, SIGTERM, SIGHUP: 130), at the --deadline or whenever it stops midway, it stops\n"
        "writing, closes the buffer and says from which line to continue (--from-line, with the modal state in\n"
        "--preamble). The buffer's texts are printed with their English meaning. JSON fields: connected, calls,\n"
        "bytes, state, stateText, stateMeaning; when stopped midway also acknowledged, lines, resumeFromLine.");
}

QStringList StreamCommand::examples() const
{
    return {QStringLiteral("cnccomm stream long.nc --timeout 30"),
            QStringLiteral("cnccomm stream long.nc --from-line 1835 --preamble modal.nc"),
            QStringLiteral("cnccomm --channel 3 stream --mode mdi line.nc")};
}

QList<QCommandLineOption> StreamCommand::options() const
{
    return QList<QCommandLineOption>{QCommandLineOption(kMode, QStringLiteral("dnc (default) or mdi."),
                                                        QStringLiteral("MODE"))} +
           m_resume.options();
}

bool StreamCommand::parse(const QCommandLineParser& parser, const CommonSettings&, QString* error)
{
    const QStringList args = positionalArguments(parser);
    if (args.size() != 1) {
        *error = QStringLiteral("stream needs exactly one program file.");
        return false;
    }
    m_path = args[0];
    const QString mode = parser.isSet(kMode) ? parser.value(kMode).toLower() : QStringLiteral("dnc");
    if (mode != QLatin1String("dnc") && mode != QLatin1String("mdi")) {
        *error = QStringLiteral("--mode: '%1' is neither dnc nor mdi.").arg(parser.value(kMode));
        return false;
    }
    m_mode = mode == QLatin1String("dnc") ? kDncMode : kMdiMode;
    return m_resume.take(parser, error);
}

ExitStatus StreamCommand::run(CommandContext& context)
{
    Report& report = context.report;
    if (!m_resume.load(m_path, &m_text, report))
        return ExitStatus::LocalFile;
    if (m_mode == kMdiMode && m_text.size() > kMdiByteBudget) {
        report.error(QStringLiteral("%1: %2 bytes; an MDI stream takes at most %3").arg(m_path).arg(m_text.size()).arg(kMdiByteBudget));
        return ExitStatus::LocalFile;
    }
    report.set(QStringLiteral("bytes"), m_text.size());

    const QByteArray host = context.common.targetAddress().toLocal8Bit();
    AcmRemoteBuffer* buffer = context.acm.bufOpen(host.constData(), m_mode, context.common.channel);
    report.call(QStringLiteral("bufOpen"), buffer != nullptr,
                buffer ? QStringLiteral("a %1 buffer on channel %2 of %3")
                             .arg(m_mode == kDncMode ? QStringLiteral("DNC") : QStringLiteral("MDI"))
                             .arg(context.common.channel)
                             .arg(context.common.host)
                       : QStringLiteral("refused the address, the mode or the channel"));
    report.set(QStringLiteral("connected"), false);
    if (!buffer) {
        report.error(QStringLiteral("bufOpen refused the address, the mode or the channel"));
        return ExitStatus::LibraryRefused;
    }
    ExitStatus status = waitUntilReady(context, buffer);
    const bool streamed = status == ExitStatus::Success;
    if (streamed) {
        report.set(QStringLiteral("connected"), true);
        status = stream(context, buffer);
        report.call(QStringLiteral("bufWrite"), m_written > 0,
                    QStringLiteral("%1 of %2 bytes queued").arg(m_written).arg(m_text.size()));
    }
    reportState(context, buffer);
    report.call(QStringLiteral("bufClose"), context.acm.bufClose(buffer) == 1, QStringLiteral("closed"));
    if (streamed && status != ExitStatus::Success)
        m_resume.reportStop(m_text, m_acknowledged, report);
    return status;
}

ExitStatus StreamCommand::waitUntilReady(CommandContext& context, AcmRemoteBuffer* buffer)
{
    QElapsedTimer waited;
    waited.start();
    const qint64 timeoutMs = qint64(context.common.timeoutSeconds * 1000);
    for (;;) {
        const int32_t state = context.acm.getBufState(buffer);
        if (acceptsWrites(state))
            return ExitStatus::Success;
        if (StopGuard::stopRequested()) {
            context.report.error(QStringLiteral("%1 before the controller took the buffer's declaration")
                                     .arg(StopGuard::describe()));
            return StopGuard::status();
        }
        // Closed is also the state while the buffer connects: only after its own connect wait is it
        // the verdict, whatever --timeout says.
        if (state == kClosed && waited.elapsed() >= kConnectGraceMs) {
            context.report.error(QStringLiteral("cannot connect to %1: the buffer stays closed").arg(context.common.host));
            return ExitStatus::NotConnected;
        }
        if (state != kClosed && waited.elapsed() >= timeoutMs) {
            context.report.error(QStringLiteral("the controller did not take the buffer's declaration within %1 s: %2")
                                     .arg(context.common.timeoutSeconds)
                                     .arg(withMeaning(stateText(context.acm, buffer))));
            return state == kRefused ? ExitStatus::ControllerRefused : ExitStatus::NoReply;
        }
        QThread::msleep(kPollMs);
    }
}

ExitStatus StreamCommand::stream(CommandContext& context, AcmRemoteBuffer* buffer)
{
    const AcmLibrary& acm = context.acm;
    ProgressDisplay progress(QStringLiteral("stream %1").arg(QFileInfo(m_path).fileName()), context.report);
    QElapsedTimer still;
    still.start();
    int acknowledged = 0;
    int lastAcknowledged = -1;
    int32_t lastState = -1;
    const qint64 timeoutMs = qint64(context.common.timeoutSeconds * 1000);
    bool everWritten = false;
    for (;;) {
        int32_t state = acm.getBufState(buffer);
        if (acceptsWrites(state) && (m_written < m_text.size() || (m_mode == kMdiMode && !everWritten))) {
            writeMore(acm, buffer);
            everWritten = true;
            state = acm.getBufState(buffer);
        }
        // Busy, refused and re-declaring states show nothing of the queue: the last count stands.
        acknowledged = std::max(acknowledged, acknowledgedBytes(acm, buffer, state));
        m_acknowledged = acknowledged;
        progress.update(m_text.isEmpty() ? (state == kIdle ? 100 : 0) : acknowledged * 100.0 / m_text.size(),
                        stateName(state));
        if (state == kIdle && m_written == m_text.size() && (m_mode == kDncMode || everWritten)) {
            progress.update(100, stateName(state));
            return ExitStatus::Success;
        }
        if (StopGuard::stopRequested()) {
            progress.finish();
            context.report.error(QStringLiteral("%1 after %2 of %3 bytes").arg(StopGuard::describe()).arg(acknowledged).arg(m_text.size()));
            return StopGuard::status();
        }
        if (state == kClosed) {
            progress.finish();
            const QString text = stateText(acm, buffer);
            context.report.error(QStringLiteral("the stream stopped after %1 of %2 bytes: %3")
                                     .arg(acknowledged)
                                     .arg(m_text.size())
                                     .arg(text));
            return closedCause(text);
        }
        if (acknowledged != lastAcknowledged || state != lastState) {
            lastAcknowledged = acknowledged;
            lastState = state;
            still.restart();
        } else if (still.elapsed() >= timeoutMs) {
            progress.finish();
            context.report.error(QStringLiteral("no progress for %1 s after %2 of %3 bytes: %4")
                                     .arg(context.common.timeoutSeconds)
                                     .arg(acknowledged)
                                     .arg(m_text.size())
                                     .arg(withMeaning(stateText(acm, buffer))));
            return state == kRefused ? ExitStatus::ControllerRefused : ExitStatus::NoReply;
        }
        QThread::msleep(kPollMs);
    }
}

void StreamCommand::writeMore(const AcmLibrary& acm, AcmRemoteBuffer* buffer)
{
    // MDI mode: one write, which the buffer ends with a file end of its own.
    int length = m_text.size() - m_written;
    if (m_mode == kDncMode) {
        const int room = acm.getBufValidCnt(buffer) / kPieceBytes * kPieceBytes;
        length = std::min({length, room, kLongestWriteBytes});
        if (length <= 0)
            return;
    }
    QByteArray piece = m_text.mid(m_written, length);
    if (acm.bufWrite(buffer, piece.data()) == 1)
        m_written += length;
}

int StreamCommand::acknowledgedBytes(const AcmLibrary& acm, AcmRemoteBuffer* buffer, int32_t state) const
{
    if (state == kIdle)
        return m_written;
    if (m_mode == kMdiMode || !acceptsWrites(state))
        return -1;
    // In DNC mode the free room counts the frames still queued; the one in flight is not yet taken.
    const int queuedFrames = kQueueFrames - acm.getBufValidCnt(buffer) / kPieceBytes;
    return std::clamp(m_written - (queuedFrames + 1) * kPieceBytes, 0, m_written);
}

void StreamCommand::reportState(CommandContext& context, AcmRemoteBuffer* buffer)
{
    const int32_t state = context.acm.getBufState(buffer);
    const QString text = stateText(context.acm, buffer);
    context.report.note(QStringLiteral("getBufState: %1 (%2)").arg(state).arg(withMeaning(text)));
    context.report.set(QStringLiteral("state"), state);
    context.report.set(QStringLiteral("stateText"), text);
    context.report.set(QStringLiteral("stateMeaning"), controllerTextMeaning(text));
}
