#include "JogCommand.h"

#include "AxisPosition.h"
#include "NumberArgument.h"
#include "TargetSession.h"

#include <QElapsedTimer>
#include <QThread>

namespace {
constexpr int kDefaultFeed = 1000;
constexpr int kLongestRunMs = 600000;
constexpr int kStopPollMs = 20;
constexpr int32_t kStoppedNow = 0; // jogMotionP_IsStop's mode

const QString kFeed = QStringLiteral("feed");
const QString kNegative = QStringLiteral("negative");
const QString kFast = QStringLiteral("fast");
const QString kFor = QStringLiteral("for");
const QString kDistance = QStringLiteral("distance");
const QString kAbsolute = QStringLiteral("absolute");
const QString kMachine = QStringLiteral("machine");
const QString kStop = QStringLiteral("stop");
}

QString JogCommand::summary() const
{
    return QStringLiteral("Jog an axis: continuously for a time, by a distance, or stop it.");
}

QString JogCommand::details() const
{
    return QStringLiteral(
        "AXIS: the axis number in the channel, 0 to 63. Exactly one of --for, --distance, --stop.\n"
        "--for: jogMotionV_Run, a pause, jogMotionV_Stop. --distance: jogMotionP_Run, then jogMotionP_IsStop\n"
        "until the axis stands (at most --timeout). --stop: jogMotionV_Stop and jogMotionP_Stop.\n"
        "Then prints the axis position (getAxisCoord). JSON fields: calls, position.");
}

QList<QCommandLineOption> JogCommand::options() const
{
    return {QCommandLineOption(kFeed, QStringLiteral("Feed (default %1).").arg(kDefaultFeed), QStringLiteral("F")),
            QCommandLineOption(kNegative, QStringLiteral("Continuous jog: in the negative direction.")),
            QCommandLineOption(kFast, QStringLiteral("Continuous jog: at rapid feed.")),
            QCommandLineOption(kFor, QStringLiteral("Jog continuously for this long, then stop."),
                               QStringLiteral("MS")),
            QCommandLineOption(kDistance, QStringLiteral("Move by this length (or to it, with --absolute)."),
                               QStringLiteral("LEN")),
            QCommandLineOption(kAbsolute, QStringLiteral("--distance is a target position.")),
            QCommandLineOption(kMachine, QStringLiteral("--distance in machine coordinates.")),
            QCommandLineOption(kStop, QStringLiteral("Stop the axis."))};
}

bool JogCommand::parse(const QCommandLineParser& parser, const CommonSettings&, QString* error)
{
    if (!parseAxis(positionalArguments(parser), QStringLiteral("jog"), &m_axis, error))
        return false;
    const int kinds = int(parser.isSet(kFor)) + int(parser.isSet(kDistance)) + int(parser.isSet(kStop));
    if (kinds != 1) {
        *error = QStringLiteral("jog needs exactly one of --for, --distance and --stop.");
        return false;
    }
    m_feed = kDefaultFeed;
    if (parser.isSet(kFeed) && !parseInt32(parser.value(kFeed), &m_feed, QStringLiteral("--feed"), error))
        return false;
    m_negative = parser.isSet(kNegative);
    m_fast = parser.isSet(kFast);
    m_absolute = parser.isSet(kAbsolute);
    m_machine = parser.isSet(kMachine);
    if (parser.isSet(kFor)) {
        m_kind = Kind::Continuous;
        return parseInteger(parser.value(kFor), 1, kLongestRunMs, &m_forMs, QStringLiteral("--for"), error);
    }
    if (parser.isSet(kDistance)) {
        m_kind = Kind::Incremental;
        return parseInt32(parser.value(kDistance), &m_distance, QStringLiteral("--distance"), error);
    }
    m_kind = Kind::Stop;
    return true;
}

ExitStatus JogCommand::run(CommandContext& context)
{
    TargetSession session(context, false);
    if (!session.connect())
        return ExitStatus::NotConnected;
    ExitStatus status = ExitStatus::Success;
    switch (m_kind) {
    case Kind::Continuous: status = runContinuous(context, session.id()); break;
    case Kind::Incremental: status = runIncremental(context, session.id()); break;
    case Kind::Stop: status = runStop(context, session.id()); break;
    }
    if (status == ExitStatus::Success)
        status = reportAxisPosition(context, session.id(), m_axis);
    return session.takeErrorReports() ? ExitStatus::ControllerRefused : status;
}

ExitStatus JogCommand::runContinuous(CommandContext& context, int id)
{
    const int32_t channel = context.common.channel;
    const int32_t result = context.acm.jogMotionV_Run(channel, m_axis, m_feed, m_negative, m_fast, id);
    context.report.call(QStringLiteral("jogMotionV_Run"), result);
    if (result != 0)
        return exitStatusForResult(result);
    QThread::msleep(static_cast<unsigned long>(m_forMs));
    const int32_t stopped = context.acm.jogMotionV_Stop(channel, m_axis, id);
    context.report.call(QStringLiteral("jogMotionV_Stop"), stopped);
    return exitStatusForResult(stopped);
}

ExitStatus JogCommand::runIncremental(CommandContext& context, int id)
{
    const int32_t channel = context.common.channel;
    const int32_t result = context.acm.jogMotionP_Run(channel, m_axis, m_feed, m_distance, m_absolute, m_machine, id);
    context.report.call(QStringLiteral("jogMotionP_Run"), result);
    if (result != 0)
        return exitStatusForResult(result);
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        int32_t isStop = 0;
        const int32_t asked = context.acm.jogMotionP_IsStop(channel, m_axis, kStoppedNow, &isStop, id);
        if (asked != 0) {
            context.report.call(QStringLiteral("jogMotionP_IsStop"), asked);
            return exitStatusForResult(asked);
        }
        if (isStop) {
            context.report.call(QStringLiteral("jogMotionP_IsStop"), asked);
            return ExitStatus::Success;
        }
        if (waited.elapsed() >= qint64(context.common.timeoutSeconds * 1000)) {
            context.report.error(QStringLiteral("axis %1 still moves after %2 s; stopping it")
                                     .arg(m_axis)
                                     .arg(context.common.timeoutSeconds));
            context.report.call(QStringLiteral("jogMotionP_Stop"), context.acm.jogMotionP_Stop(channel, m_axis, id));
            return ExitStatus::NoReply;
        }
        QThread::msleep(kStopPollMs);
    }
}

ExitStatus JogCommand::runStop(CommandContext& context, int id)
{
    const int32_t channel = context.common.channel;
    const int32_t continuous = context.acm.jogMotionV_Stop(channel, m_axis, id);
    context.report.call(QStringLiteral("jogMotionV_Stop"), continuous);
    const int32_t incremental = context.acm.jogMotionP_Stop(channel, m_axis, id);
    context.report.call(QStringLiteral("jogMotionP_Stop"), incremental);
    return exitStatusForResult(continuous != 0 ? continuous : incremental);
}
