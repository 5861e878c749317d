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
// The poll's first turn: the values before it are the cache's zeros, not the controller's.
constexpr int kFirstPollMs = 100;
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
        "JSON: one object per value {time, address, value}, then the summary object.");
}

QList<QCommandLineOption> WatchCommand::options() const
{
    return {QCommandLineOption(kDuration, QStringLiteral("Stop after this long (default: when interrupted)."),
                               QStringLiteral("SECONDS")),
            QCommandLineOption(kInterval, QStringLiteral("Read the cache every MS (default 100)."),
                               QStringLiteral("MS"))};
}

bool WatchCommand::parse(const QCommandLineParser& parser, const CommonSettings&, QString* error)
{
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
    std::vector<int32_t> shown(m_addresses.size(), 0);
    bool first = true;
    int changes = 0;
    QThread::msleep(kFirstPollMs);
    while (!InterruptFlag::raised() && (durationMs == 0 || running.elapsed() < durationMs)) {
        const int32_t result = context.acm.readVars(m_addresses.data(), int(m_addresses.size()), values.data(), id);
        if (result != 0) {
            context.report.call(QStringLiteral("readVars"), result);
            context.report.error(QStringLiteral("the poll stopped"));
            return exitStatusForResult(result);
        }
        const QString now = QDateTime::currentDateTime().toString(Qt::ISODateWithMs);
        for (size_t i = 0; i < m_addresses.size(); ++i) {
            if (!first && values[i] == shown[i])
                continue;
            shown[i] = values[i];
            ++changes;
            context.report.event(QStringLiteral("%1 %2 = %3").arg(now).arg(m_addresses[i]).arg(values[i]),
                                 QJsonObject{{QStringLiteral("time"), now},
                                             {QStringLiteral("address"), m_addresses[i]},
                                             {QStringLiteral("value"), values[i]}});
        }
        first = false;
        // Sleep in short steps, so that an interrupt or the end of the duration is seen at once.
        QElapsedTimer pause;
        pause.start();
        while (pause.elapsed() < m_intervalMs && !InterruptFlag::raised() &&
               (durationMs == 0 || running.elapsed() < durationMs))
            QThread::msleep(5);
    }
    context.report.line(QStringLiteral("watched %1 s: %2 values shown%3")
                            .arg(running.elapsed() / 1000.0, 0, 'f', 1)
                            .arg(changes)
                            .arg(InterruptFlag::raised() ? QStringLiteral(" (interrupted)") : QString()));
    context.report.set(QStringLiteral("shown"), changes);
    context.report.set(QStringLiteral("interrupted"), InterruptFlag::raised());
    return ExitStatus::Success;
}
