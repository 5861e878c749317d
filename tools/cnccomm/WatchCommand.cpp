#include "WatchCommand.h"

#include "InterruptFlag.h"
#include "NumberArgument.h"
#include "TargetSession.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QJsonObject>
#include <QThread>

namespace {
constexpr int kShortestIntervalMs = 10;
constexpr int kLongestIntervalMs = 60000;
constexpr double kLongestDurationSeconds = 7 * 24 * 3600;
// The poll's first turn: before it the library has no value to give.
constexpr int kFirstPollMs = 100;
// Values no poll has stored after this long are shown as stale.
constexpr qint64 kFirstValueGraceMs = 2000;
constexpr int32_t kNotConnected = 7;
constexpr int32_t kNoPolledValue = 111;
const QString kReconnect = QStringLiteral("reconnect");
const QString kDuration = QStringLiteral("duration");
const QString kInterval = QStringLiteral("interval");
}

QString WatchCommand::summary() const
{
    return QStringLiteral("Poll variables asynchronously and print each change with a time stamp.");
}

QString WatchCommand::details() const
{
    return QStringLiteral(
        "ADDRESS as for read. The target-level client runs asynchronously: registerVars, then readVars\n"
        "from its cache every --interval ms. Prints \"TIME ADDRESS = VALUE\" for the first values and for\n"
        "every change, until --duration has passed or SIGINT/SIGTERM comes (exit status 0 either way).\n"
        "Only values a poll has stored are shown: a value the poll does not bring (result 111) is shown\n"
        "as \"TIME ADDRESS stale\" until it comes again. A lost link ends the watch (status 3), or with\n"
        "--reconnect prints \"TIME link lost\", connects again every --interval and prints \"TIME link back\".\n"
        "JSON: one object per event ({time, address, value}, {time, address, stale: true},\n"
        "{time, link: \"lost\" | \"back\"}), then the summary object.");
}

QList<QCommandLineOption> WatchCommand::options() const
{
    return {QCommandLineOption(kDuration, QStringLiteral("Stop after this long (default: when interrupted)."),
                               QStringLiteral("SECONDS")),
            QCommandLineOption(kInterval, QStringLiteral("Read the cache every MS (default 100)."),
                               QStringLiteral("MS")),
            QCommandLineOption(kReconnect, QStringLiteral("Keep watching across a lost link (a controller restart)."))};
}

bool WatchCommand::parse(const QCommandLineParser& parser, const CommonSettings&, QString* error)
{
    m_reconnect = parser.isSet(kReconnect);
    if (!parseAddresses(positionalArguments(parser), QStringLiteral("watch"), &m_addresses, error))
        return false;
    if (parser.isSet(kDuration) && !parseSeconds(parser.value(kDuration), kLongestDurationSeconds,
                                                 &m_durationSeconds, QStringLiteral("--duration"), error))
        return false;
    return !parser.isSet(kInterval) || parseInteger(parser.value(kInterval), kShortestIntervalMs, kLongestIntervalMs,
                                                    &m_intervalMs, QStringLiteral("--interval"), error);
}

ExitStatus WatchCommand::run(CommandContext& context)
{
    InterruptFlag::install();
    TargetSession session(context, true);
    if (!session.connect())
        return ExitStatus::NotConnected;
    const int32_t result = context.acm.registerVars(m_addresses.data(), int(m_addresses.size()), session.id());
    context.report.call(QStringLiteral("registerVars"), result);
    if (result != 0)
        return exitStatusForResult(result);
    const ExitStatus status = watch(context, session.id());
    context.acm.clearVars(session.id());
    session.takeErrorReports();
    return status;
}

ExitStatus WatchCommand::watch(CommandContext& context, int id)
{
    QElapsedTimer running;
    running.start();
    const qint64 durationMs = qint64(m_durationSeconds * 1000);
    std::vector<int32_t> values(m_addresses.size(), 0);
    m_shown.assign(m_addresses.size(), std::nullopt);
    m_stale.assign(m_addresses.size(), false);
    m_changes = 0;
    bool linkDown = false;
    QThread::msleep(kFirstPollMs);
    while (!InterruptFlag::raised() && (durationMs == 0 || running.elapsed() < durationMs)) {
        const int32_t result = context.acm.readVars(m_addresses.data(), int(m_addresses.size()), values.data(), id);
        const QString now = QDateTime::currentDateTime().toString(Qt::ISODateWithMs);
        if (result == kNotConnected && m_reconnect) {
            if (!linkDown)
                context.report.event(QStringLiteral("%1 link lost").arg(now),
                                     QJsonObject{{QStringLiteral("time"), now}, {QStringLiteral("link"), QStringLiteral("lost")}});
            linkDown = true;
            if (reconnect(context, id)) {
                linkDown = false;
                const QString back = QDateTime::currentDateTime().toString(Qt::ISODateWithMs);
                context.report.event(QStringLiteral("%1 link back").arg(back),
                                     QJsonObject{{QStringLiteral("time"), back}, {QStringLiteral("link"), QStringLiteral("back")}});
            }
        } else if (result == 0) {
            showValues(context, values, now);
        } else if (result == kNoPolledValue) {
            if (running.elapsed() >= kFirstValueGraceMs)
                markStale(context, now);
        } else {
            context.report.call(QStringLiteral("readVars"), result);
            context.report.error(QStringLiteral("the poll stopped"));
            return exitStatusForResult(result);
        }
        // Sleep in short steps, so that an interrupt or the end of the duration is seen at once.
        QElapsedTimer pause;
        pause.start();
        while (pause.elapsed() < m_intervalMs && !InterruptFlag::raised() &&
               (durationMs == 0 || running.elapsed() < durationMs))
            QThread::msleep(5);
    }
    context.report.line(QStringLiteral("watched %1 s: %2 values shown%3")
                            .arg(running.elapsed() / 1000.0, 0, 'f', 1)
                            .arg(m_changes)
                            .arg(InterruptFlag::raised() ? QStringLiteral(" (interrupted)") : QString()));
    context.report.set(QStringLiteral("shown"), m_changes);
    context.report.set(QStringLiteral("interrupted"), InterruptFlag::raised());
    return ExitStatus::Success;
}

void WatchCommand::showValues(CommandContext& context, const std::vector<int32_t>& values, const QString& now)
{
    for (size_t i = 0; i < m_addresses.size(); ++i) {
        if (m_shown[i] == values[i] && !m_stale[i])
            continue;
        m_shown[i] = values[i];
        m_stale[i] = false;
        ++m_changes;
        context.report.event(QStringLiteral("%1 %2 = %3").arg(now).arg(m_addresses[i]).arg(values[i]),
                             QJsonObject{{QStringLiteral("time"), now},
                                         {QStringLiteral("address"), m_addresses[i]},
                                         {QStringLiteral("value"), values[i]}});
    }
}

void WatchCommand::markStale(CommandContext& context, const QString& now)
{
    for (size_t i = 0; i < m_addresses.size(); ++i) {
        if (m_stale[i])
            continue;
        m_stale[i] = true;
        context.report.event(QStringLiteral("%1 %2 stale").arg(now).arg(m_addresses[i]),
                             QJsonObject{{QStringLiteral("time"), now},
                                         {QStringLiteral("address"), m_addresses[i]},
                                         {QStringLiteral("stale"), true}});
    }
}

bool WatchCommand::reconnect(CommandContext& context, int id)
{
    if (!context.acm.connect(id))
        return false;
    context.acm.clearVars(id);
    return context.acm.registerVars(m_addresses.data(), int(m_addresses.size()), id) == 0;
}
