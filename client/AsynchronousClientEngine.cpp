// The command engine: one walk for every command of the table. Lock, link, the export's own
// check, request, queue, exchange, the reply's verdict, outputs; the reports after the lock.
#include "AsynchronousClientLock.h"
#include "CommCodes.h"
#include "CommTiming.h"
#include "LogCategory.h"

#include <QDebug>
#include <QString>
#include <QStringList>

#include <algorithm>

using CommandTable::Msg;

namespace {
const char* const kClientPrefix = "long int AsynchronousClient::";

// The client's call as the log names it: the export's name and its parameter types without the
// target, "long int" for CncLong, e.g. "jogMotionV_Stop(long int, long int)".
QString clientCall(const AsynchronousClient::Command& c)
{
    if (c.options.call)
        return QString::fromLatin1(kClientPrefix) + QString::fromLatin1(c.options.call);
    if (!c.name || !c.params)
        return QString::fromLatin1(kClientPrefix) + QString::fromUtf8(CommandTable::row(c.message).name);
    QStringList params = QString::fromLatin1(c.params).mid(1).chopped(1).split(QLatin1Char(','));
    params.removeLast(); // the target
    QStringList types;
    for (const QString& p : params) {
        QString type = p.trimmed();
        type.truncate(type.lastIndexOf(QLatin1Char(' ')));
        types << type.replace(QLatin1String("CncLong"), QLatin1String("long int"));
    }
    return QString::fromLatin1(kClientPrefix) + QString::fromLatin1(c.name) + QLatin1Char('(') +
           types.join(QLatin1String(", ")) + QLatin1Char(')');
}
} // namespace

AsynchronousClient::ReportingLock::~ReportingLock()
{
    if (!held.owns_lock())
        held.lock();
    releaseAndDeliver();
}

void AsynchronousClient::ReportingLock::releaseAndDeliver()
{
    std::vector<Report> reports;
    reports.swap(owner.pendingReports);
    held.unlock();
    owner.deliver(reports);
}

void AsynchronousClient::ReportingLock::deliverNow()
{
    releaseAndDeliver();
    held.lock();
}

void AsynchronousClient::ReportingLock::pause(int ms)
{
    releaseAndDeliver();
    CommTiming::pause(ms);
    held.lock();
}

int32_t AsynchronousClient::command(const Command& c, const CommandCodec::Args& args, std::initializer_list<Output> outputs)
{
    ReportingLock lock(*this);
    if (!socketConnected()) {
        if (!(c.options.flags & CommandTable::QuietLink) || (logFlags & LogFlag::Errors))
            logDisconnected(c);
        return ResultCode::NotConnected;
    }
    if (!passesCheck(c, args) || !outputsFit(outputs))
        return ResultCode::ArgumentOutOfRange;
    for (const Output& o : outputs) {
        if (o.slot == CommandTable::List)
            replyList.clear();
        else if (c.options.flags & CommandTable::ClearsOutputs)
            lastValues[o.slot] = 0;
    }
    const Exchange done = transact(c.message, args, c.options.flags & CommandTable::Collapse);
    if (done.replied)
        writeOutputs(outputs);
    return done.result;
}

// No frame (a value out of the row's bounds, arguments too long for one frame) is the caller's
// argument: nothing is queued, and it must not read as a lost reply.
AsynchronousClient::Exchange AsynchronousClient::transact(Msg id, const CommandCodec::Args& args, bool collapse)
{
    const int32_t n = request(id, args);
    if (n <= 0)
        return {false, ResultCode::ArgumentOutOfRange};
    return queueAndExchange(built(n), collapse);
}

AsynchronousClient::Exchange AsynchronousClient::queueAndExchange(const QByteArray& frame, bool collapse)
{
    int32_t result = ResultCode::QueueFull;
    if (cmdQueue.size() <= kQueueLimit) {
        cmdQueue.append(frame);
        result = ResultCode::Success;
    }
    if (syncMode != 1) {
        wakeWorker();
        return {true, result};
    }
    takeNextFrame();
    if (!sendAndWait())
        return {false, ResultCode::NoValidReply};
    if (replyErrorFlag)
        result = collapse ? ResultCode::ReplyFailed : replyErrorCode;
    return {true, result};
}

QByteArray AsynchronousClient::built(int32_t frameLength) const
{
    return QByteArray(reinterpret_cast<const char*>(frameBuffer), frameLength);
}

bool AsynchronousClient::passesCheck(const Command& c, const CommandCodec::Args& args) const
{
    const CommandTable::RowCheck& check = c.options.check;
    if (check.field < 0)
        return true;
    const int32_t value = args.scalars[check.field];
    if (value >= check.min && value <= check.max)
        return true;
    if (logFlags & LogFlag::Errors)
        qCDebug(acmLog).noquote() << clientCall(c) << check.label << value;
    return false;
}

bool AsynchronousClient::outputsFit(std::initializer_list<Output> outputs) const
{
    return std::all_of(outputs.begin(), outputs.end(), [](const Output& o) {
        return o.slot != CommandTable::List || (o.count >= 0 && (o.count == 0 || o.to));
    });
}

void AsynchronousClient::writeOutputs(std::initializer_list<Output> outputs)
{
    for (const Output& o : outputs) {
        if (o.slot != CommandTable::List) {
            if (o.to)
                *o.to = lastValues[o.slot];
            continue;
        }
        const int n = std::min(o.count, int32_t(replyList.size()));
        std::copy(replyList.cbegin(), replyList.cbegin() + n, o.to);
    }
}

void AsynchronousClient::logDisconnected(const Command& c) const
{
    qCDebug(acmLog).noquote() << clientCall(c) << " SocketDisconnected " << transport->errorText();
}

void AsynchronousClient::logDisconnected(const char* signature) const
{
    qCDebug(acmLog).noquote() << signature << " SocketDisconnected " << transport->errorText();
}
