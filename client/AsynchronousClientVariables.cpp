#include "AsynchronousClientLock.h"
#include "LogCategory.h"
#include "CommCodes.h"

#include <QDebug>

#include <algorithm>
#include <set>

namespace {
// Larger batches are refused outright instead of being walked.
constexpr int kMaxBatch = 100000;
const char* const kReadVarsSig = "long int AsynchronousClient::readVars(long int*, int, long int*)";
const char* const kWriteVarsSig = "long int AsynchronousClient::writeVars(long int*, int, long int*)";
const char* const kRegisterBitsSig =
    "long int AsynchronousClient::registerBits(long int, AsynchronousClient::BitType, long int*, int)";
const char* const kRemoveBitsSig =
    "long int AsynchronousClient::removeBits(long int, AsynchronousClient::BitType, long int*, int)";
const char* const kReadBitsSig =
    "long int AsynchronousClient::readBits(long int, AsynchronousClient::BitType, long int*, int, long int*)";
const int32_t kBitTableBase[7] = {32048, 32112, 32176, 32240, 32304, 32592, 32560};

bool validBatch(const void* first, int count, const void* second)
{
    return first && second && count >= 1 && count <= kMaxBatch;
}

// An address no request may carry is the caller's mistake on either kind of client: it is
// refused before anything is sent, never passed off as a lost reply.
bool validAddresses(const int32_t* addresses, int count, const void* values)
{
    return validBatch(addresses, count, values) &&
           std::all_of(addresses, addresses + count, VProtocol_Client::isValidVarAddress);
}

// Bits of channels 1..99 in one of the seven bit tables. A negative bit number would reach into
// the word before its table, another table's bits.
bool validBitRequest(const int32_t* bits, int count, int32_t channel, int32_t bitType)
{
    return bits && count >= 1 && count <= kMaxBatch && bitType >= 0 && bitType <= 6 && channel >= 1 &&
           channel <= 99 && std::all_of(bits, bits + count, [](int32_t bit) { return bit >= 0; });
}
}

int32_t AsynchronousClient::registerVars(const int32_t* addresses, int count)
{
    if (!addresses || count < 1 || count > kMaxBatch)
        return ResultCode::ArgumentOutOfRange;
    // An address no read request may carry would stop the poll of every address sharing its chunk.
    for (int i = 0; i < count; ++i)
        if (!isValidVarAddress(addresses[i]))
            return ResultCode::ArgumentOutOfRange;
    {
        std::lock_guard<std::mutex> lock(mutex);
        for (int i = 0; i < count; ++i) {
            valueCache[addresses[i]] = 0;
            polledAddresses.erase(addresses[i]);
        }
    }
    wakeWorker();
    return ResultCode::Success;
}

void AsynchronousClient::removeVars(const int32_t* addresses, int count)
{
    if (!addresses || count < 1 || count > kMaxBatch)
        return;
    std::lock_guard<std::mutex> lock(mutex);
    for (int i = 0; i < count; ++i) {
        valueCache.erase(addresses[i]);
        polledAddresses.erase(addresses[i]);
    }
}

void AsynchronousClient::clearVars()
{
    std::lock_guard<std::mutex> lock(mutex);
    if (syncMode == 0) {
        valueCache.clear();
        polledAddresses.clear();
    }
}

bool AsynchronousClient::allPolled(const int32_t* addresses, int count) const
{
    return std::all_of(addresses, addresses + count, [&](int32_t a) { return polledAddresses.count(a) > 0; });
}

// Sends readBatch as one read request and waits; 111 when nothing valid came back.
int32_t AsynchronousClient::sendReadBatch()
{
    const int32_t n = CmdReadVars(readBatch.data(), int32_t(readBatch.size()));
    sendFrame = n > 0 ? QByteArray(reinterpret_cast<const char*>(sendBuf), n) : QByteArray();
    return sendAndWait() ? ResultCode::Success : ResultCode::NoValidReply;
}

int32_t AsynchronousClient::readVarsLocked(const int32_t* addresses, int count, int32_t* values, bool split,
                                           bool onlyPolled)
{
    if (!socketConnected()) {
        if (logFlags & LogFlag::Errors)
            logDisconnected(kReadVarsSig);
        return ResultCode::NotConnected;
    }
    if (!validAddresses(addresses, count, values)) {
        if (logFlags & LogFlag::Errors)
            qCDebug(acmLog).noquote() << kReadVarsSig << " ParError address=" << static_cast<const void*>(addresses)
                               << " count=" << count << " value=" << static_cast<const void*>(values);
        return ResultCode::ArgumentOutOfRange;
    }
    int32_t result = ResultCode::Success;
    if (syncMode == 1) {
        result = readSyncBatches(addresses, count, split);
        if (result == ResultCode::NoValidReply)
            return result;
    } else if (onlyPolled && !allPolled(addresses, count)) {
        return ResultCode::NoValidReply;
    }
    for (int i = 0; i < count; ++i) {
        const auto it = valueCache.find(addresses[i]);
        values[i] = it != valueCache.end() ? it->second : 0;
    }
    return result;
}

// Reads in requests of at most kMaxReadCount addresses (all at once unless split), in order; a
// reply stores only the addresses the cache holds, so the cache holds exactly these. 0, 3 when a
// reply could not be used, 111 at the first request without a valid reply.
int32_t AsynchronousClient::readSyncBatches(const int32_t* addresses, int count, bool split)
{
    valueCache.clear();
    sendFrame.clear();
    const size_t perRequest = split ? size_t(CommandTable::Rows::kMaxReadCount) : size_t(count);
    int32_t result = ResultCode::Success;
    for (size_t done = 0; done < size_t(count);) {
        const size_t take = std::min(perRequest, size_t(count) - done);
        readBatch.assign(addresses + done, addresses + done + take);
        for (const int32_t address : readBatch)
            valueCache.emplace(address, 0);
        if (logFlags & LogFlag::Progress)
            qCDebug(acmLog).noquote() << kReadVarsSig << "currentRdAddressFlag =" << (done + take < size_t(count) ? "true" : "false")
                               << "maxRdVar =" << CommandTable::Rows::kMaxReadCount;
        if (sendReadBatch() != 0)
            return ResultCode::NoValidReply;
        if (replyErrorFlag)
            result = ResultCode::ReplyFailed;
        done += take;
    }
    return result;
}

int32_t AsynchronousClient::writeVarsLocked(const int32_t* addresses, int count, const int32_t* values, bool split)
{
    if (!socketConnected()) {
        if (logFlags & LogFlag::Errors)
            logDisconnected(kWriteVarsSig);
        return ResultCode::NotConnected;
    }
    if (!validAddresses(addresses, count, values))
        return ResultCode::ArgumentOutOfRange;
    const int perRequest = split ? int(CommandTable::Rows::kMaxWritePairs) : count;
    // An asynchronous batch is queued whole or not at all: a half-written batch reported as
    // "queue full" would leave the controller with some of the values and the caller unaware.
    const int slices = (count + perRequest - 1) / perRequest;
    if (syncMode == 0 && cmdQueue.size() + slices > kQueueLimit + 1)
        return ResultCode::QueueFull;
    int32_t result = ResultCode::Success;
    for (int done = 0; done < count;) {
        const int remaining = count - done;
        const int take = std::min(remaining, perRequest);
        if (split && (logFlags & LogFlag::Progress))
            qCDebug(acmLog).noquote() << kWriteVarsSig << "currentWrAddressFlag =" << (remaining > perRequest ? "true" : "false")
                               << "maxWrVar =" << CommandTable::Rows::kMaxWritePairs << "numCount = " << remaining;
        const Exchange slice = queueAndExchange(built(CmdWriteVars(addresses + done, values + done, take)), true);
        if (!slice.replied)
            return ResultCode::NoValidReply;
        result = slice.result;
        done += take;
    }
    return result;
}

int32_t AsynchronousClient::readVars(const int32_t* addresses, int count, int32_t* values)
{
    ReportingLock lock(*this);
    return readVarsLocked(addresses, count, values, true, true);
}

int32_t AsynchronousClient::writeVars(const int32_t* addresses, int count, const int32_t* values)
{
    ReportingLock lock(*this);
    return writeVarsLocked(addresses, count, values, true);
}

int32_t AsynchronousClient::bitWordAddress(int32_t channel, BitType bitType, int32_t bit) const
{
    return channel * 1000000 + kBitTableBase[bitType] + bit / 32;
}

// Channels above 16 and bit numbers far out have words no request may carry.
bool AsynchronousClient::bitWordsValid(int32_t channel, BitType bitType, const int32_t* bits, int count) const
{
    return std::all_of(bits, bits + count,
                       [&](int32_t bit) { return isValidVarAddress(bitWordAddress(channel, bitType, bit)); });
}

int32_t AsynchronousClient::changeBits(const char* signature, int32_t channel, BitType bitType, const int32_t* bits,
                                       int count, bool add)
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (!socketConnected()) {
            logDisconnected(signature);
            return ResultCode::NotConnected;
        }
        if (syncMode == 1) {
            qCDebug(acmLog).noquote() << signature << " CommModeError";
            return ResultCode::NeedsAsyncMode;
        }
        if (!validBitRequest(bits, count, channel, bitType)) {
            qCDebug(acmLog).noquote() << signature << " ParError address=" << static_cast<const void*>(bits)
                               << " count=" << count << " channel=" << channel << " type=" << int32_t(bitType);
            return ResultCode::ArgumentOutOfRange;
        }
        // A word no read request may carry would stop the poll of its neighbours: refuse the
        // registration instead.
        if (add && !bitWordsValid(channel, bitType, bits, count)) {
            qCDebug(acmLog).noquote() << signature << " ParError address=" << static_cast<const void*>(bits)
                               << " count=" << count << " channel=" << channel << " type=" << int32_t(bitType);
            return ResultCode::ArgumentOutOfRange;
        }
        for (int i = 0; i < count; ++i) {
            const int32_t word = bitWordAddress(channel, bitType, bits[i]);
            if (add)
                valueCache[word] = 0;
            else
                valueCache.erase(word);
            polledAddresses.erase(word);
        }
    }
    if (add)
        wakeWorker();
    return 0;
}

int32_t AsynchronousClient::registerBits(int32_t channel, BitType bitType, const int32_t* bits, int count)
{
    return changeBits(kRegisterBitsSig, channel, bitType, bits, count, true);
}

int32_t AsynchronousClient::removeBits(int32_t channel, BitType bitType, const int32_t* bits, int count)
{
    return changeBits(kRemoveBitsSig, channel, bitType, bits, count, false);
}

int32_t AsynchronousClient::readBits(int32_t channel, BitType bitType, const int32_t* bits, int count,
                                     int32_t* values)
{
    ReportingLock lock(*this);
    return readBitsLocked(channel, bitType, bits, count, values);
}

int32_t AsynchronousClient::readBitsLocked(int32_t channel, BitType bitType, const int32_t* bits, int count,
                                           int32_t* values)
{
    if (!socketConnected()) {
        if (logFlags & LogFlag::Errors)
            logDisconnected(kReadBitsSig);
        return ResultCode::NotConnected;
    }
    std::set<int32_t> words;
    if (values && validBitRequest(bits, count, channel, bitType) && bitWordsValid(channel, bitType, bits, count)) {
        for (int i = 0; i < count; ++i)
            words.insert(bitWordAddress(channel, bitType, bits[i]));
    }
    // One synchronous request carries at most kMaxReadCount words.
    if (words.empty() || (syncMode == 1 && words.size() > size_t(CommandTable::Rows::kMaxReadCount))) {
        if (logFlags & LogFlag::Errors)
            qCDebug(acmLog).noquote() << kReadBitsSig << " ParError address=" << static_cast<const void*>(bits)
                               << " count=" << count << " value=" << static_cast<const void*>(values)
                               << " channel=" << channel << " type=" << int32_t(bitType);
        return ResultCode::ArgumentOutOfRange;
    }
    const std::vector<int32_t> wordList(words.begin(), words.end());
    int32_t result = ResultCode::Success;
    if (syncMode == 1)
        result = readSyncBatches(wordList.data(), int(wordList.size()), false);
    else if (!allPolled(wordList.data(), int(wordList.size())))
        return ResultCode::NoValidReply;
    if (result == ResultCode::NoValidReply)
        return result;
    for (int i = 0; i < count; ++i) {
        const auto it = valueCache.find(bitWordAddress(channel, bitType, bits[i]));
        const uint32_t word = it != valueCache.end() ? uint32_t(it->second) : 0u;
        values[i] = (word >> (bits[i] & 31)) & 1u;
    }
    return result;
}
