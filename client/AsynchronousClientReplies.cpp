// A reply, from the link to its verdict: the state's result and report by the command table's
// outcome, and what the reply brought (values, lists, texts) kept for the command that waits.
#include "AsynchronousClient.h"
#include "CommCodes.h"
#include "FrameMode.h"
#include "LogCategory.h"

#include <QDebug>
#include <QString>

#include <algorithm>

using CommandTable::Msg;
using CommandTable::Verdict;

void AsynchronousClient::takeNextFrame()
{
    nextFromQueue = 1;
    if (cmdQueue.isEmpty()) {
        preparePollFrame();
        return;
    }
    const QByteArray frame = cmdQueue.takeFirst();
    if (!frame.isEmpty()) {
        sendState = 2;
        sendFrame = frame;
    }
}

bool AsynchronousClient::sendAndWait()
{
    if (sendFrame.isEmpty())
        return false;
    sendState = 2;
    Transport* link = transport.get();
    const QByteArray reply = link->exchange(sendFrame, frameMode, replyBudgetMs());
    const bool ok = takeReply(*link, reply);
    sendState = 1;
    sendFrame.clear();
    return ok;
}

bool AsynchronousClient::takeReply(Transport& link, const QByteArray& reply)
{
    if (reply.isEmpty())
        return false; // no reply: the link has seen to a late one itself
    bool usable = false;
    if (reply.size() <= kLongestReply) {
        const CommandCodec::Reply decoded =
            CommandCodec::decode(reinterpret_cast<const uint8_t*>(reply.constData()), reply.size(), frameMode);
        judge(decoded);
        usable = decoded.status == Handled;
    }
    sendState = 1;
    if (!usable)
        link.distrustLastReply();
    return usable;
}

void AsynchronousClient::judge(const CommandCodec::Reply& reply)
{
    if (!reply.message)
        return; // cut short or damaged: nothing to judge
    const CommandTable::Message& m = *reply.message;
    lastReplyState = reply.state;
    applyOutcome(*m.outcome, reply.state);
    const bool done = reply.state == m.outcome->doneState;
    switch (m.id) {
    case Msg::ReadCount: case Msg::ReadVars: return storeReadValues(reply.values);
    case Msg::Declare: case Msg::DeclareQuery: case Msg::Append: case Msg::Overwrite: return keepTransferState(reply);
    case Msg::FileInfo:
        if (done)
            recvFileData.append(QString::fromLatin1(reply.bytes).toUtf8());
        return;
    case Msg::ErrorTextHead: case Msg::ErrorTextData: case Msg::ErrorTextLast: case Msg::ErrorFileRead:
        if (done)
            recvFileData.append(reply.bytes);
        return;
    case Msg::BinReadOpen: case Msg::BinRead: case Msg::BinReRead: case Msg::BinReadLast:
        qCDebug(acmLog).noquote() << m.name << ('"' + QString::fromLatin1(reply.bytes.toHex()) + '"');
        return;
    default:
        break;
    }
    if (m.id >= Msg::RunningKind0 && m.id <= Msg::RunningKind5)
        cncStrings[int(m.id) - int(Msg::RunningKind0)] = reply.bytes;
    else if (done)
        keepValues(reply);
}

// The table's outcome of a reply state: the verdict that later commands read, and the report.
void AsynchronousClient::applyOutcome(const CommandTable::Outcome& outcome, int32_t state)
{
    const bool done = state == outcome.doneState;
    Verdict verdict = done ? Verdict::Done : outcome.others;
    int8_t errorCmd = done ? CommandTable::kUnreported : outcome.othersErrorCmd;
    std::string detail = outcome.othersDetail;
    if (outcome.numbered)
        detail += std::to_string(state);
    for (const CommandTable::StateRule& rule : outcome.rules) {
        if (rule.detail && rule.state == state) {
            verdict = rule.verdict;
            errorCmd = rule.errorCmd;
            detail = rule.detail;
        }
    }
    if (verdict == Verdict::Done) {
        replyErrorFlag = false;
    } else if (verdict == Verdict::Failed) {
        replyErrorFlag = true;
        replyErrorCode = ResultCode::fromState(state);
    } else if (verdict == Verdict::Short) {
        replyErrorCode = ResultCode::MemoryFullOrNoFile;
    }
    if (errorCmd != CommandTable::kUnreported)
        report(errorCmd, state, detail);
}

// A good reply's values: a few go to the last values (a reply of n fills the last n slots), a
// counted list is kept whole, within the row's bound.
void AsynchronousClient::keepValues(const CommandCodec::Reply& reply)
{
    const CommandTable::Answer& answer = reply.message->answer;
    if (answer.shape == CommandTable::Shape::CountedList) {
        if (answer.count == 0 || (reply.values.size() >= 1 && reply.values.size() <= answer.count))
            for (int32_t v : reply.values)
                replyList.append(v);
        return;
    }
    const int n = std::min(int(reply.values.size()), 3);
    for (int i = 0; i < n; ++i)
        lastValues[3 - n + i] = reply.values[i];
}

// A declaration holds until the link it went on is renewed; a block refused for memory is sent
// again by the transfer.
void AsynchronousClient::keepTransferState(const CommandCodec::Reply& reply)
{
    const CommandTable::Message& m = *reply.message;
    if (m.id == Msg::Append || m.id == Msg::Overwrite) {
        dncMemoryFull = reply.state == 3;
    } else {
        isSetFileOk = !replyErrorFlag;
        if (isSetFileOk)
            declaredLink = transport->linkGeneration(); // the link that now holds the declaration
    }
    const bool foreseen = reply.state == 0 || std::any_of(std::begin(m.outcome->rules), std::end(m.outcome->rules),
                                                          [&](const auto& rule) { return rule.detail && rule.state == reply.state; });
    if (!foreseen)
        qCDebug(acmLog).noquote() << m.name << QString::fromUtf8("(返回状态不可预见)state====") << reply.state;
}

// A reply with another number of values than were asked for cannot be paired with the
// addresses: nothing is stored and the read failed. Only addresses still registered take a
// value: a poll in flight when the application removed some must not register them again.
void AsynchronousClient::storeReadValues(const QVector<int32_t>& values)
{
    const bool paired = size_t(values.size()) == readBatch.size();
    replyErrorFlag = !paired;
    if (!paired) {
        replyErrorCode = ResultCode::ReplyFailed;
        return;
    }
    pollBatchUnanswered = false;
    for (int i = 0; i < values.size(); ++i) {
        const auto it = valueCache.find(readBatch[size_t(i)]);
        if (it == valueCache.end())
            continue;
        it->second = values[i];
        polledAddresses.insert(it->first);
    }
}

void AsynchronousClient::report(int32_t errorCmd, int32_t state, const std::string& detail)
{
    pendingReports.push_back({errorCmd, state, detail});
}

void AsynchronousClient::deliver(const std::vector<Report>& reports) const
{
    for (const Report& r : reports) {
        if (const ErrCallbackFunc callback = errCallback.load())
            callback(r.errorCmd, r.state, r.detail.c_str());
        else if (logFlags & LogFlag::Errors)
            qCDebug(acmLog).noquote() << "onErrorOccured" << "errorCmd:" << r.errorCmd << "cmdState:" << r.state
                                      << "detail:" << QString::fromStdString(r.detail);
    }
}
