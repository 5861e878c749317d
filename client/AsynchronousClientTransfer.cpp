#include "AsynchronousClientLock.h"
#include "CommTiming.h"
#include "LogCategory.h"
#include "CommCodes.h"
#include "TextField.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QString>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

// Program text transfer: file declaration and state query, overwrite and append in blocks,
// file end, the whole upload in one call, and the start of a program by name.

namespace {
const char* const kSetTransFileTypeSig = "long int AsynchronousClient::setTransFileType(long int, long int, char*, bool)";
const char* const kOverwriteSig = "long int AsynchronousClient::overwrite(char*)";
const char* const kAppendSig = "long int AsynchronousClient::append(char*)";
const char* const kFileEndSig = "long int AsynchronousClient::fileEnd()";
const char* const kUploadFileSig = "long int AsynchronousClient::uploadFile(long int, long int, char*, char*)";
const char* const kCycStartSig = "long int AsynchronousClient::cycStart(long int, char*)";

constexpr int32_t kFirstChannel = 1;
constexpr int32_t kLastChannel = 99;
// A file type passes when its low four bits are 0, 1 or 2.
constexpr int32_t kFileTypeKindMask = 0xF;
constexpr int32_t kLastFileTypeKind = 2;
// The declaration of this type is not followed by an empty overwrite block.
constexpr int32_t kTypeDeclaredAlone = 2;

constexpr int kBlockSize = AsynchronousClient::kTextBlockSize;

using TextField::endsText;
using TextField::firstUnsendable;
using TextField::sendableLength;

// One block of text, zero-filled; more follows exactly when the block is full.
struct TextBlock
{
    char bytes[kBlockSize + 1] = {};
    int length = 0;
    bool moreFollows() const { return length == kBlockSize; }
};

TextBlock blockAt(const char* text)
{
    TextBlock block;
    while (block.length < kBlockSize && !endsText(text[block.length])) {
        block.bytes[block.length] = text[block.length];
        ++block.length;
    }
    return block;
}

void logBlockBytes(const char* signature, const TextBlock& block, qint64 base)
{
    for (int i = 0; i < block.length; ++i) {
        const auto byte = static_cast<unsigned char>(block.bytes[i]);
        qCDebug(acmLog).noquote() << signature << i << "  maxsize*number+count=" << base + i << "  letter= 0X"
                           << QString::number(byte, 16).toUpper() << " " << QString(QChar(byte));
    }
}

bool channelInRange(int32_t channel)
{
    return channel >= kFirstChannel && channel <= kLastChannel;
}
} // namespace

bool AsynchronousClient::transferLinkUp(const char* signature)
{
    if (socketConnected())
        return true;
    if (logFlags & LogFlag::Errors)
        logDisconnected(signature);
    return false;
}

// A transfer reply is judged on its own: the failure flags are cleared before the request, so a
// block that the controller stored (state 2 leaves the flag as it was) never takes on an earlier
// reply's failure and is never sent a second time.
AsynchronousClient::Exchange AsynchronousClient::transferExchange(const QByteArray& frame)
{
    replyErrorFlag = false;
    dncMemoryFull = false;
    lastReplyState = 0;
    const Exchange done = queueAndExchange(frame, false);
    if (!done.replied || syncMode != 1)
        return done;
    if (lastReplyState == ControllerState::ExecutionAlarm)
        return {true, ResultCode::ControllerFailure};
    if (dncMemoryFull)
        return {true, replyErrorCode};
    return done;
}

// In asynchronous mode a full queue is waited out with the lock released: the worker takes the
// lock to take a frame, so holding it would keep the queue full for ever.
AsynchronousClient::Exchange AsynchronousClient::queueTextBlock(ReportingLock& lock, const QByteArray& frame)
{
    Exchange done = transferExchange(frame);
    QElapsedTimer waited;
    waited.start();
    while (syncMode != 1 && done.result == ResultCode::QueueFull) {
        if (waited.elapsed() >= CommTiming::now().queueRoomWaitMs) {
            report(ErrorCmd::Append, ResultCode::QueueFull, "append: the command queue stayed full; transfer stopped");
            return {true, ResultCode::TransferStalled};
        }
        lock.pause(CommTiming::now().queueRoomPollMs);
        if (!isConnected)
            return {true, ResultCode::NotConnected};
        if (cmdQueue.size() <= kQueueLimit)
            done = transferExchange(frame);
    }
    return done;
}

int32_t AsynchronousClient::setTransFileType(int32_t type, int32_t channel, const char* fileName, bool queryOnly)
{
    {
        ReportingLock lock(*this);
        if (!transferLinkUp(kSetTransFileTypeSig))
            return ResultCode::NotConnected;
        if (!fileName || !channelInRange(channel) || (type & kFileTypeKindMask) > kLastFileTypeKind) {
            if (logFlags & LogFlag::Errors)
                qCDebug(acmLog).noquote() << kSetTransFileTypeSig << " ParError channel=" << channel;
            return ResultCode::ArgumentOutOfRange;
        }
        const Exchange done = transferExchange(built(CmdSetTransFileType(channel, type, fileName, queryOnly)));
        if (!done.replied || queryOnly || type == kTypeDeclaredAlone)
            return done.result;
    }
    // The declaration's own result is not returned: a refused one leaves isSetFileOk false,
    // which this empty block then answers with 1.
    return overwrite("");
}

namespace {
void logNoDeclaration(const char* signature, const char* text)
{
    qCDebug(acmLog).noquote() << signature << "ParError: isSetFileOk " << "false" << " txt size(" << sendableLength(text)
                       << ") > payloadTxtSize(" << kBlockSize << ")";
}
void logNullText(const char* signature)
{
    qCDebug(acmLog).noquote() << signature << " ParError txt=NULL";
}
// "append: byte 0xc3 at offset 9 has its top bit set; nothing was sent"
std::string unsendableText(const char* signature, const char* text, int64_t at)
{
    const std::string name(signature);
    const size_t open = name.find('(');
    const size_t colons = name.rfind("::", open);
    const std::string function = name.substr(colons + 2, open - colons - 2);
    char byte[8];
    std::snprintf(byte, sizeof byte, "0x%02x", static_cast<unsigned char>(text[at]));
    return function + ": byte " + byte + " at offset " + std::to_string(at) + " has its top bit set; nothing was sent";
}
} // namespace

bool AsynchronousClient::refusedUnsendable(const char* signature, int32_t errorCmd, const char* text)
{
    const int64_t at = firstUnsendable(text);
    if (at >= 0)
        report(errorCmd, ControllerState::RefusedHere, unsendableText(signature, text, at));
    return at >= 0;
}

int32_t AsynchronousClient::checkText(const char* signature, int32_t errorCmd, const char* text)
{
    if (refusedUnsendable(signature, errorCmd, text))
        return ResultCode::ArgumentOutOfRange;
    if (declaredLink != transport->linkGeneration()) {
        if (logFlags & LogFlag::Errors)
            qCDebug(acmLog).noquote() << signature << " the link was renewed since the file declaration";
        return ResultCode::RestartTransfer;
    }
    return ResultCode::Success;
}

// The checks of a block call: the link, a text, an accepted declaration, and checkText's.
int32_t AsynchronousClient::checkBlockCall(const char* signature, int32_t errorCmd, const char* text)
{
    if (!transferLinkUp(signature))
        return ResultCode::NotConnected;
    if (!text || !isSetFileOk) {
        if (logFlags & LogFlag::Errors)
            text ? logNoDeclaration(signature, text) : logNullText(signature);
        return ResultCode::ArgumentOutOfRange;
    }
    return checkText(signature, errorCmd, text);
}

bool AsynchronousClient::pauseWhileMemoryFull(ReportingLock& lock, int ms, quint64 disconnects)
{
    lock.deliverNow();
    transferWake.wait_for(lock.lock(), std::chrono::milliseconds(ms), [&] { return disconnectCalls != disconnects; });
    return disconnectCalls == disconnects && isConnected;
}

int32_t AsynchronousClient::overwrite(const char* text)
{
    {
        ReportingLock lock(*this);
        const int32_t refused = checkBlockCall(kOverwriteSig, ErrorCmd::Overwrite, text);
        if (refused != ResultCode::Success)
            return refused;
        const TextBlock block = blockAt(text);
        if (logFlags & LogFlag::Progress)
            logBlockBytes(kOverwriteSig, block, 0);
        const Exchange done = queueTextBlock(lock, built(CmdOverwrite(block.bytes)));
        // A block that was refused, or not queued, ends the transfer here: the rest must not
        // go without it.
        if (!done.replied || done.result != ResultCode::Success || !block.moreFollows())
            return done.result;
    }
    return append(text + kBlockSize);
}

int32_t AsynchronousClient::append(const char* text)
{
    const quint64 disconnects = disconnectCalls;
    ReportingLock lock(*this);
    const int32_t refused = checkBlockCall(kAppendSig, ErrorCmd::Append, text);
    if (refused != ResultCode::Success)
        return refused;
    return appendBlocks(lock, text, disconnects);
}

int32_t AsynchronousClient::appendBlocks(ReportingLock& lock, const char* text, quint64 disconnects)
{
    qint64 offset = 0;
    int refusals = 0;
    int memoryPauseMs = CommTiming::now().blockResendPauseMs;
    for (;;) {
        const TextBlock block = blockAt(text + offset);
        if (logFlags & LogFlag::Progress)
            logBlockBytes(kAppendSig, block, offset);
        const Exchange done = queueTextBlock(lock, built(CmdAppend(block.bytes)));
        const int32_t result = done.result;
        // No reply, an execution alarm, or a queue wait that gave up: the transfer ends here.
        if (!done.replied || result == ResultCode::ControllerFailure || result == ResultCode::TransferStalled ||
            result == ResultCode::NotConnected)
            return result;
        // A full DNC memory frees as the machine runs the program: wait for it, however long.
        if (syncMode == 1 && dncMemoryFull) {
            if (!pauseWhileMemoryFull(lock, memoryPauseMs, disconnects))
                return ResultCode::NotConnected;
            memoryPauseMs = std::min(memoryPauseMs * 2, CommTiming::now().memoryFullPauseMaxMs);
            continue;
        }
        memoryPauseMs = CommTiming::now().blockResendPauseMs;
        if (result == ResultCode::Success) {
            offset += block.length;
            refusals = 0;
        }
        if (!block.moreFollows())
            return result;
        if (result == ResultCode::Success)
            continue;
        // A full block not accepted goes again as it was, a bounded number of times.
        if (++refusals > kBlockResendLimit) {
            report(ErrorCmd::Append, lastReplyState, "append: the controller kept refusing a full block; transfer stopped");
            return ResultCode::TransferStalled;
        }
        lock.deliverNow();
        CommTiming::pause(CommTiming::now().blockResendPauseMs);
    }
}

int32_t AsynchronousClient::fileEnd()
{
    ReportingLock lock(*this);
    if (!socketConnected()) {
        if (logFlags & LogFlag::Errors)
            logDisconnected(kFileEndSig);
        return ResultCode::NotConnected;
    }
    isSetFileOk = false; // closed as soon as the request is queued
    return transact(CommandTable::Msg::FileEnd, {}, false).result;
}

int32_t AsynchronousClient::uploadFile(int32_t type, int32_t channel, const char* fileName, const char* text)
{
    const bool log = logFlags & LogFlag::Errors;
    if (!fileName || std::strchr(fileName, '/')) {
        if (log)
            qCDebug(acmLog).noquote() << kUploadFileSig << " filename parameter error ";
        return ResultCode::ArgumentOutOfRange;
    }
    // Checked before anything is sent, so that a bad call leaves no half-declared file behind.
    if (!text) {
        if (log)
            logNullText(kUploadFileSig);
        return ResultCode::ArgumentOutOfRange;
    }
    {
        ReportingLock lock(*this);
        if (refusedUnsendable(kUploadFileSig, ErrorCmd::Overwrite, text))
            return ResultCode::ArgumentOutOfRange;
    }
    int32_t result = setTransFileType(type, channel, fileName, false);
    if (result != ResultCode::Success) {
        if (log)
            qCDebug(acmLog).noquote() << kUploadFileSig << " setTransFileType error " << "out =" << result;
        return result;
    }
    result = overwrite(text);
    if (result != ResultCode::Success) {
        if (log)
            qCDebug(acmLog).noquote() << kUploadFileSig << " overwrite error " << "out =" << result;
        return result;
    }
    return fileEnd();
}

int32_t AsynchronousClient::cycStart(int32_t channel, const char* fileName)
{
    ReportingLock lock(*this);
    if (!socketConnected()) {
        if (logFlags & LogFlag::Errors)
            logDisconnected(kCycStartSig);
        return ResultCode::NotConnected;
    }
    if (!channelInRange(channel) || !fileName) {
        if (logFlags & LogFlag::Errors)
            qCDebug(acmLog).noquote() << kCycStartSig << " ParError channel=" << channel;
        return ResultCode::ArgumentOutOfRange;
    }
    return transact(CommandTable::Msg::CycleStart, CommandCodec::Args{channel}.data(fileName, 0), false).result;
}
