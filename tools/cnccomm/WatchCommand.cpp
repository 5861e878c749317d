#include "WatchCommand.h"

#include "NumberArgument.h"
#include "StopGuard.h"
#include "TargetSession.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QThread>

namespace {
constexpr int kShortestIntervalMs = 10;
constexpr int kLongestIntervalMs = 60000;
constexpr int kPauseStepMs = 5;
constexpr double kLongestDurationSeconds = 7 * 24 * 3600;
constexpr int32_t kNotConnected = 7;
const QString kReconnect = QStringLiteral("reconnect");
const QString kDuration = QStringLiteral("duration");
const QString kInterval = QStringLiteral("interval");
const QStringList kTables = {QStringLiteral("I"), QStringLiteral("O"), QStringLiteral("C"), QStringLiteral("S"),
                             QStringLiteral("A")};

using GetBit = CncLong (*)(CncLong, CncLong, CncLong*, int);
GetBit bitReader(const AcmLibrary& acm, const QString& table)
{
    const GetBit readers[] = {acm.getIBit, acm.getOBit, acm.getCBit, acm.getSBit, acm.getABit};
    return readers[kTables.indexOf(table)];
}

QString timeNow()
{
    return QDateTime::currentDateTime().toString(Qt::ISODateWithMs);
}
}

QString WatchCommand::Watched::label() const
{
    return table.isEmpty() ? QString::number(number) : QStringLiteral("%1:%2").arg(table).arg(number);
}

QJsonObject WatchCommand::Watched::json(const QString& now) const
{
    QJsonObject o{{QStringLiteral("time"), now}};
    if (table.isEmpty())
        o.insert(QStringLiteral("address"), number);
    else {
        o.insert(QStringLiteral("table"), table);
        o.insert(QStringLiteral("index"), number);
    }
    return o;
}

QString WatchCommand::summary() const
{
    return QStringLiteral("Poll variables and bits and print each change with a time stamp.");
}

QString WatchCommand::details() const
{
    return QStringLiteral(
        "ADDRESS as for read; TABLE:INDEX a bit of table I, O, C, S or A (as get-bit). Every --interval ms\n"
        "one readVars for the variables and one get?Bit per bit. Prints \"TIME ADDRESS = VALUE\" (\"TIME I:5 =\n"
        "1\") for the first values and every change, until --duration has passed or SIGINT, SIGTERM or SIGHUP\n"
        "comes (status 0 either way). A value whose read failed is printed as \"TIME ADDRESS stale\" until a\n"
        "read brings it again. The link counts as lost when the controller closes it, and when no read has\n"
        "succeeded for --timeout seconds (a controller that stopped answering): the watch then ends with\n"
        "status 3, or with --reconnect prints \"TIME link lost\", connects again every --interval and prints\n"
        "\"TIME link back\" once a read succeeds (also when the controller is not there at the start).\n"
        "JSON: one object per event ({time, address, value}, {time, table, index, value}, {time, address,\n"
        "stale: true}, {time, link: \"lost\" | \"back\"}), then the summary object (shown, interrupted).");
}

QStringList WatchCommand::examples() const
{
    return {QStringLiteral("cnccomm watch 1000001 1000002 --duration 10"),
            QStringLiteral("cnccomm --json watch 1000001 I:5 O:3 --reconnect --interval 200")};
}

QList<QCommandLineOption> WatchCommand::options() const
{
    return {QCommandLineOption(kDuration, QStringLiteral("Stop after this long (default: when interrupted)."),
                               QStringLiteral("SECONDS")),
            QCommandLineOption(kInterval, QStringLiteral("Read every MS (default 100)."), QStringLiteral("MS")),
            QCommandLineOption(kReconnect, QStringLiteral("Keep watching across a lost link (a controller restart or "
                                                          "freeze), and wait for a controller not there yet."))};
}

bool WatchCommand::parse(const QCommandLineParser& parser, const CommonSettings&, QString* error)
{
    m_reconnect = parser.isSet(kReconnect);
    const QStringList args = positionalArguments(parser);
    if (args.isEmpty()) {
        *error = QStringLiteral("watch needs at least one variable address or bit.");
        return false;
    }
    static const QRegularExpression bit(QStringLiteral("^([A-Za-z]):(.*)$"));
    for (const QString& a : args) {
        Watched w;
        const QRegularExpressionMatch m = bit.match(a);
        if (m.hasMatch()) {
            w.table = m.captured(1).toUpper();
            if (!kTables.contains(w.table)) {
                *error = QStringLiteral("'%1' is not a bit table (I, O, C, S or A).").arg(m.captured(1));
                return false;
            }
            if (!parseInteger(m.captured(2), 0, std::numeric_limits<int32_t>::max(), &w.number, QStringLiteral("index"), error))
                return false;
        } else if (!parseAddress(a, &w.number, error)) {
            return false;
        }
        m_watched.push_back(w);
    }
    if (parser.isSet(kDuration) && !parseSeconds(parser.value(kDuration), kLongestDurationSeconds,
                                                 &m_durationSeconds, QStringLiteral("--duration"), error))
        return false;
    return !parser.isSet(kInterval) || parseInteger(parser.value(kInterval), kShortestIntervalMs, kLongestIntervalMs,
                                                    &m_intervalMs, QStringLiteral("--interval"), error);
}

ExitStatus WatchCommand::run(CommandContext& context)
{
    TargetSession session(context, false);
    if (!m_reconnect && !session.connect())
        return ExitStatus::NotConnected;
    const ExitStatus status = watch(context, session);
    session.takeErrorReports();
    return status;
}

bool WatchCommand::over(qint64 runningMs) const
{
    return StopGuard::stopRequested() || (m_durationSeconds > 0 && runningMs >= qint64(m_durationSeconds * 1000));
}

void WatchCommand::pause(qint64 runningMs) const
{
    QElapsedTimer paused;
    paused.start();
    while (paused.elapsed() < m_intervalMs && !over(runningMs + paused.elapsed()))
        QThread::msleep(kPauseStepMs);
}

ExitStatus WatchCommand::watch(CommandContext& context, TargetSession& session)
{
    QElapsedTimer running, sinceRead;
    running.start();
    sinceRead.start();
    m_changes = 0;
    bool linkUp = !m_reconnect || session.tryConnect();
    if (!linkUp)
        linkEvent(context, QStringLiteral("lost"));
    while (!over(running.elapsed())) {
        const Poll result = linkUp || session.tryConnect() ? poll(context, session.id()) : Poll::LinkDown;
        if (result == Poll::Read) {
            sinceRead.restart();
            if (!linkUp)
                linkEvent(context, QStringLiteral("back"));
            linkUp = true;
        } else if (linkUp && (result == Poll::LinkDown ||
                              sinceRead.elapsed() >= qint64(context.common.timeoutSeconds * 1000))) {
            for (Watched& w : m_watched)
                markStale(context, w, timeNow());
            linkEvent(context, QStringLiteral("lost"));
            linkUp = false;
            if (!m_reconnect) {
                context.report.error(result == Poll::LinkDown ? QStringLiteral("the link went down")
                                                              : QStringLiteral("no read succeeded for %1 s (--timeout)")
                                                                    .arg(context.common.timeoutSeconds));
                return result == Poll::LinkDown ? ExitStatus::NotConnected : ExitStatus::NoReply;
            }
        }
        pause(running.elapsed());
    }
    context.report.note(QStringLiteral("watched %1 s: %2 values shown%3")
                            .arg(running.elapsed() / 1000.0, 0, 'f', 1)
                            .arg(m_changes)
                            .arg(StopGuard::stopRequested() ? QStringLiteral(" (interrupted)") : QString()));
    context.report.set(QStringLiteral("shown"), m_changes);
    context.report.set(QStringLiteral("interrupted"), StopGuard::stopRequested());
    return ExitStatus::Success;
}

WatchCommand::Poll WatchCommand::poll(CommandContext& context, int id)
{
    std::vector<int32_t> addresses;
    for (const Watched& w : m_watched)
        if (w.table.isEmpty())
            addresses.push_back(w.number);
    std::vector<int32_t> values(addresses.size(), 0);
    const int32_t read = addresses.empty() ? 0 : context.acm.readVars(addresses.data(), int(addresses.size()), values.data(), id);
    bool anyRead = read == 0 && !addresses.empty();
    bool down = read == kNotConnected;
    const QString now = timeNow();
    size_t next = 0;
    for (Watched& w : m_watched) {
        int32_t value = 0;
        int32_t result = read;
        if (w.table.isEmpty())
            value = values[next++];
        else {
            result = bitReader(context.acm, w.table)(context.common.channel, w.number, &value, id);
            anyRead = anyRead || result == 0;
            down = down || result == kNotConnected;
        }
        if (result == 0)
            show(context, w, value, now);
        else
            markStale(context, w, now);
    }
    return anyRead ? Poll::Read : down ? Poll::LinkDown : Poll::Failed;
}

void WatchCommand::show(CommandContext& context, Watched& w, int32_t value, const QString& now)
{
    if (w.shown == value && !w.stale)
        return;
    w.shown = value;
    w.stale = false;
    ++m_changes;
    QJsonObject o = w.json(now);
    o.insert(QStringLiteral("value"), value);
    context.report.event(QStringLiteral("%1 %2 = %3").arg(now, w.label()).arg(value), o);
}

void WatchCommand::markStale(CommandContext& context, Watched& w, const QString& now)
{
    if (w.stale)
        return;
    w.stale = true;
    QJsonObject o = w.json(now);
    o.insert(QStringLiteral("stale"), true);
    context.report.event(QStringLiteral("%1 %2 stale").arg(now, w.label()), o);
}

void WatchCommand::linkEvent(CommandContext& context, const QString& what)
{
    const QString now = timeNow();
    context.report.event(QStringLiteral("%1 link %2").arg(now, what),
                         QJsonObject{{QStringLiteral("time"), now}, {QStringLiteral("link"), what}});
}
