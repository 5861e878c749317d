#include "JogCommand.h"

#include "AxisPosition.h"
#include "NumberArgument.h"
#include "StopGuard.h"
#include "TargetSession.h"

#include <QElapsedTimer>
#include <limits>
#include <QThread>

namespace {
constexpr int kDefaultFeed = 1000;
constexpr int kLongestRunMs = 600000;
constexpr int kPollMs = 10;
constexpr int32_t kStoppedNow = 0; // jogMotionP_IsStop's mode
constexpr int32_t kNoValidReply = 111;

const QString kFeed = QStringLiteral("feed");
const QString kNegative = QStringLiteral("negative");
const QString kFast = QStringLiteral("fast");
const QString kFor = QStringLiteral("for");
const QString kContinuous = QStringLiteral("continuous");
const QString kDistance = QStringLiteral("distance");
const QString kAbsolute = QStringLiteral("absolute");
const QString kMachine = QStringLiteral("machine");
const QString kStop = QStringLiteral("stop");
}

QString JogCommand::summary() const
{
    return QStringLiteral("Jog an axis: continuously for a time or until stopped, by a distance, or stop it.");
}

QString JogCommand::details() const
{
    return QStringLiteral(
        "AXIS: the axis number in the channel, 0 to 63. Exactly one of --for, --continuous, --distance, --stop.\n"
        "--for and --continuous: jogMotionV_Run, then jogMotionV_Stop after MS or when a signal (Ctrl-C,\n"
        "SIGTERM, SIGHUP) or --deadline comes. --distance: jogMotionP_Run, then jogMotionP_IsStop until the\n"
        "axis stands (at most --timeout, then jogMotionP_Stop). --stop: jogMotionV_Stop and jogMotionP_Stop.\n"
        "A signal during a jog stops the axis first, then ends with status 130. A start that gets no valid\n"
        "reply may have started the axis: the stop is sent and whether it was acknowledged is said.\n"
        "Then prints the axis position (getAxisCoord). JSON fields: calls, position, stopped.");
}

QStringList JogCommand::examples() const
{
    return {QStringLiteral("cnccomm jog 1 --for 500 --feed 2000 --negative"),
            QStringLiteral("cnccomm jog 0 --distance 10 --negative"), QStringLiteral("cnccomm jog 2 --continuous"),
            QStringLiteral("cnccomm jog 2 --stop")};
}

QList<QCommandLineOption> JogCommand::options() const
{
    return {QCommandLineOption(kFeed, QStringLiteral("Feed (default %1); not with --stop.").arg(kDefaultFeed),
                               QStringLiteral("F")),
            QCommandLineOption(kNegative, QStringLiteral("In the negative direction (--for, --continuous, a relative "
                                                         "--distance).")),
            QCommandLineOption(kFast, QStringLiteral("At rapid feed (--for, --continuous).")),
            QCommandLineOption(kFor, QStringLiteral("Jog continuously for this long, then stop."), QStringLiteral("MS")),
            QCommandLineOption(kContinuous, QStringLiteral("Jog continuously until a signal (Ctrl-C) or --deadline.")),
            QCommandLineOption(kDistance, QStringLiteral("Move by this length, not 0 (or to it, with --absolute)."),
                               QStringLiteral("LEN")),
            QCommandLineOption(kAbsolute, QStringLiteral("--distance is a target position.")),
            QCommandLineOption(kMachine, QStringLiteral("--distance in machine coordinates.")),
            QCommandLineOption(kStop, QStringLiteral("Stop the axis."))};
}

bool JogCommand::refuseInapplicable(const QCommandLineParser& parser, QString* error) const
{
    const bool continuous = m_kind == Kind::Timed || m_kind == Kind::Continuous;
    const struct
    {
        const QString& option;
        bool applies;
    } rules[] = {{kFeed, m_kind != Kind::Stop},
                 {kNegative, continuous || (m_kind == Kind::Incremental && !parser.isSet(kAbsolute))},
                 {kFast, continuous},
                 {kAbsolute, m_kind == Kind::Incremental},
                 {kMachine, m_kind == Kind::Incremental}};
    for (const auto& rule : rules)
        if (parser.isSet(rule.option) && !rule.applies) {
            *error = QStringLiteral("--%1 does not apply to this jog (%2).")
                         .arg(rule.option, rule.option == kNegative && m_kind == Kind::Incremental
                                               ? QStringLiteral("an absolute target has no direction")
                                               : QStringLiteral("see 'cnccomm jog --help'"));
            return false;
        }
    return true;
}

bool JogCommand::parse(const QCommandLineParser& parser, const CommonSettings&, QString* error)
{
    if (!parseAxis(positionalArguments(parser), QStringLiteral("jog"), &m_axis, error))
        return false;
    const int kinds = int(parser.isSet(kFor)) + int(parser.isSet(kContinuous)) + int(parser.isSet(kDistance)) +
                      int(parser.isSet(kStop));
    if (kinds != 1) {
        *error = QStringLiteral("jog needs exactly one of --for, --continuous, --distance and --stop.");
        return false;
    }
    m_kind = parser.isSet(kFor) ? Kind::Timed
             : parser.isSet(kContinuous) ? Kind::Continuous
             : parser.isSet(kDistance) ? Kind::Incremental
                                       : Kind::Stop;
    if (!refuseInapplicable(parser, error))
        return false;
    m_feed = kDefaultFeed;
    if (parser.isSet(kFeed) && !parseInt32(parser.value(kFeed), &m_feed, QStringLiteral("--feed"), error))
        return false;
    m_negative = parser.isSet(kNegative);
    m_fast = parser.isSet(kFast);
    m_absolute = parser.isSet(kAbsolute);
    m_machine = parser.isSet(kMachine);
    if (m_kind == Kind::Timed)
        return parseInteger(parser.value(kFor), 1, kLongestRunMs, &m_forMs, QStringLiteral("--for"), error);
    if (m_kind != Kind::Incremental)
        return true;
    if (!parseInt32(parser.value(kDistance), &m_distance, QStringLiteral("--distance"), error))
        return false;
    if (m_distance == 0 && !m_absolute) {
        *error = QStringLiteral("--distance 0 moves nothing (the controller takes it as a stop); use --stop, or "
                                "'cnccomm position' to read where the axis is.");
        return false;
    }
    if (m_negative && m_distance == std::numeric_limits<int32_t>::min()) {
        *error = QStringLiteral("--distance: '%1' has no negative.").arg(m_distance);
        return false;
    }
    if (m_negative)
        m_distance = -m_distance;
    return true;
}

ExitStatus JogCommand::run(CommandContext& context)
{
    TargetSession session(context, false);
    if (!session.connect())
        return ExitStatus::NotConnected;
    ExitStatus status = ExitStatus::Success;
    switch (m_kind) {
    case Kind::Timed:
    case Kind::Continuous: status = runContinuous(context, session.id()); break;
    case Kind::Incremental: status = runIncremental(context, session.id()); break;
    case Kind::Stop: status = runStop(context, session.id()); break;
    }
    if (status == ExitStatus::Success)
        status = reportAxisPosition(context, session.id(), m_axis);
    return session.takeErrorReports() ? ExitStatus::ControllerRefused : status;
}

bool JogCommand::stopAxis(CommandContext& context, int id, bool continuous)
{
    const int32_t channel = context.common.channel;
    const QString function = continuous ? QStringLiteral("jogMotionV_Stop") : QStringLiteral("jogMotionP_Stop");
    int32_t result = 0;
    for (int attempt = 0; attempt < 2; ++attempt) {
        result = continuous ? context.acm.jogMotionV_Stop(channel, m_axis, id) : context.acm.jogMotionP_Stop(channel, m_axis, id);
        context.report.call(function, result);
        if (result != kNoValidReply)
            break;
    }
    context.report.set(QStringLiteral("stopped"), result == 0);
    if (result != 0)
        context.report.error(QStringLiteral("the stop of axis %1 was not acknowledged (%2): the axis may still move")
                                 .arg(m_axis)
                                 .arg(function));
    return result == 0;
}

ExitStatus JogCommand::stopAfterUnknownStart(CommandContext& context, int id, bool continuous, int32_t result)
{
    context.report.error(QStringLiteral("the jog start got no valid reply: axis %1 may be moving; stopping it").arg(m_axis));
    if (stopAxis(context, id, continuous))
        context.report.error(QStringLiteral("the stop was acknowledged"));
    return exitStatusForResult(result);
}

ExitStatus JogCommand::stopOnRequest(CommandContext& context, int id, bool continuous)
{
    const bool stopped = stopAxis(context, id, continuous);
    context.report.error(QStringLiteral("%1: axis %2 %3").arg(StopGuard::describe()).arg(m_axis)
                             .arg(stopped ? QStringLiteral("stopped") : QStringLiteral("may still move")));
    if (stopped)
        reportAxisPosition(context, id, m_axis);
    return StopGuard::status();
}

ExitStatus JogCommand::runContinuous(CommandContext& context, int id)
{
    const int32_t channel = context.common.channel;
    const int32_t result = context.acm.jogMotionV_Run(channel, m_axis, m_feed, m_negative, m_fast, id);
    context.report.call(QStringLiteral("jogMotionV_Run"), result);
    if (result == kNoValidReply)
        return stopAfterUnknownStart(context, id, true, result);
    if (result != 0)
        return exitStatusForResult(result);
    QElapsedTimer running;
    running.start();
    while (!StopGuard::stopRequested() && (m_kind == Kind::Continuous || running.elapsed() < m_forMs))
        QThread::msleep(kPollMs);
    if (StopGuard::stopRequested())
        return stopOnRequest(context, id, true);
    return stopAxis(context, id, true) ? ExitStatus::Success : ExitStatus::NoReply;
}

ExitStatus JogCommand::runIncremental(CommandContext& context, int id)
{
    const int32_t channel = context.common.channel;
    const int32_t result = context.acm.jogMotionP_Run(channel, m_axis, m_feed, m_distance, m_absolute, m_machine, id);
    context.report.call(QStringLiteral("jogMotionP_Run"), result);
    if (result == kNoValidReply)
        return stopAfterUnknownStart(context, id, false, result);
    if (result != 0)
        return exitStatusForResult(result);
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        int32_t isStop = 0;
        const int32_t asked = context.acm.jogMotionP_IsStop(channel, m_axis, kStoppedNow, &isStop, id);
        if (asked != 0 || isStop) {
            context.report.call(QStringLiteral("jogMotionP_IsStop"), asked);
            return exitStatusForResult(asked);
        }
        if (StopGuard::stopRequested())
            return stopOnRequest(context, id, false);
        if (waited.elapsed() >= qint64(context.common.timeoutSeconds * 1000)) {
            context.report.error(QStringLiteral("axis %1 still moves after %2 s (--timeout); stopping it")
                                     .arg(m_axis)
                                     .arg(context.common.timeoutSeconds));
            stopAxis(context, id, false);
            return ExitStatus::NoReply;
        }
        QThread::msleep(kPollMs);
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
