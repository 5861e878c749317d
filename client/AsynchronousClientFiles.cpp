// Controller files over the command connection: binary files written in pieces, the error
// files of channels 0..8, the current error text, file information, and the binary reads.
#include "AsynchronousClientLock.h"
#include "CommTiming.h"
#include "LogCategory.h"
#include "CommCodes.h"
#include "TextField.h"

#include <QDebug>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

using CommandTable::Msg;

namespace {
const char* const kErrorFileSig = "char* AsynchronousClient::getCncCurrentError(long int)";
const char* const kErrorTextSig = "long int AsynchronousClient::getCurErrString(long int, long int, char*)";
const char* const kFileInfSig = "long int AsynchronousClient::getCncFileInf(long int, long int, QString, char*)";

constexpr int kFilePieceBytes = 200;
constexpr int kErrorFilePieceBytes = 100; // a shorter piece is the error file's last
constexpr int32_t kErrorFileChannelVar = 120139;
constexpr int32_t kErrorFileRequestVar = 120138;
constexpr int32_t kCurrentErrors = 1;
constexpr int32_t kErrorHistory = 2;

// The end of content's next piece from `from`: as many characters as fit in kFilePieceBytes of
// UTF-8, never splitting one. For ASCII text that is 200 characters.
int pieceEnd(const QString& content, int from, int* pieceBytes)
{
    int end = from, bytes = 0;
    while (end < content.size()) {
        const int units = content.at(end).isHighSurrogate() && end + 1 < content.size() ? 2 : 1;
        const int size = content.mid(end, units).toUtf8().size();
        if (bytes + size > kFilePieceBytes)
            break;
        bytes += size;
        end += units;
    }
    *pieceBytes = bytes;
    return end;
}

// Selector s: channel s / 10 (0..8), the history when s ends in 1, the current errors in 0.
bool errorFileSelector(int32_t selector, int32_t* channel, bool* history)
{
    if (selector < 0 || selector > 81 || selector % 10 > 1)
        return false;
    *channel = selector / 10;
    *history = selector % 10 == 1;
    return true;
}

QByteArray errorFilePath(int32_t channel, bool history)
{
    return "sys000" + QByteArray::number(channel) + (history ? "/error/hisError.error" : "/error/curError.error");
}

// The caller's buffer has no size: at most CallerBuffer::TextBytes bytes go into it, the text
// (cut if longer) and a terminating 0.
bool copyTerminated(const QByteArray& bytes, char* out)
{
    const int n = int(std::min<qsizetype>(bytes.size(), CallerBuffer::TextBytes - 1));
    std::memcpy(out, bytes.constData(), size_t(n));
    out[n] = '\0';
    return n == bytes.size();
}

// The announced length of an error text: its head carries it in decimal.
int64_t announcedLength(const QByteArray& head)
{
    const int nul = head.indexOf('\0');
    bool ok = false;
    const qlonglong n = QString::fromUtf8(nul >= 0 ? head.left(nul) : head).trimmed().toLongLong(&ok);
    return ok && n > 0 ? n : 0;
}

bool isLatin1(const QString& text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() <= 0xFF; });
}

// "writeCncFile: byte 0xff at offset 3 of the content is not UTF-8; nothing was sent"
std::string nonUtf8Text(const char* what, const char* text, int64_t at)
{
    char byte[8];
    std::snprintf(byte, sizeof byte, "0x%02x", static_cast<unsigned char>(text[at]));
    return std::string("writeCncFile: byte ") + byte + " at offset " + std::to_string(at) + " of the " + what +
           " is not UTF-8; nothing was sent";
}
}

int32_t AsynchronousClient::binFileOpen(int32_t type, const QString& fileName)
{
    const QByteArray name = fileName.toUtf8();
    return command({Msg::BinOpen, {0, {}, "binFileOpen(long int, QString)"}},
                   CommandCodec::Args{type}.data(name.constData(), name.size()));
}

int32_t AsynchronousClient::binFileWrite(const QString& text)
{
    const QByteArray data = text.toUtf8();
    return command({Msg::BinWrite, {0, {}, "binFileWrite(QString)"}}, CommandCodec::Args().data(data.constData(), data.size()));
}

int32_t AsynchronousClient::binFileClose()
{
    return command({Msg::BinClose, {0, {}, "binFileClose()"}}, {});
}

// Bytes that are not UTF-8 would reach the controller as U+FFFD, another name and another
// content than the caller's: refused whole before anything is sent.
int32_t AsynchronousClient::writeCncFileUtf8(int32_t type, const char* fileName, const char* content)
{
    {
        ReportingLock lock(*this);
        const std::pair<const char*, const char*> texts[] = {{"file name", fileName}, {"content", content}};
        for (const auto& [what, text] : texts) {
            const int64_t at = TextField::firstNonUtf8(text);
            if (at >= 0) {
                report(ErrorCmd::FileStep, ControllerState::RefusedHere, nonUtf8Text(what, text, at));
                return ResultCode::ArgumentOutOfRange;
            }
        }
    }
    return writeCncFile(type, QString::fromUtf8(fileName), QString::fromUtf8(content));
}

// Each step takes the lock on its own. The pieces are cut by UTF-8 bytes, not characters, so a
// piece of non-ASCII text still fits its frame and the file gets every byte; a piece that filled
// all 200 bytes is followed by another, empty at the content's end.
int32_t AsynchronousClient::writeCncFile(int32_t type, const QString& fileName, const QString& content)
{
    const int32_t opened = binFileOpen(type, fileName);
    if (opened == ResultCode::ArgumentOutOfRange) // a name too long for the open request: nothing sent
        return opened;
    if (opened != ResultCode::Success)
        return ResultCode::FileOpenFailed;
    for (int from = 0;;) {
        int bytes = 0;
        const int end = pieceEnd(content, from, &bytes);
        if (binFileWrite(content.mid(from, end - from)) != ResultCode::Success)
            return ResultCode::FileWriteFailed;
        if (end >= content.size() && bytes < kFilePieceBytes)
            break;
        from = end;
    }
    return binFileClose() == ResultCode::Success ? ResultCode::Success : ResultCode::FileCloseFailed;
}

// Holds the lock throughout, the 500 ms pause included. Two bounds keep a controller that never
// stops from holding the caller: a piece that keeps failing is asked at most
// kErrorFileReadAttempts times, and a file past kMostErrorFileBytes is refused (status 3).
const char* AsynchronousClient::getCncCurrentError(int32_t channel)
{
    ReportingLock lock(*this);
    recvFileData = QByteArray(1, '0');
    if (!socketConnected()) {
        if (logFlags & LogFlag::Errors)
            logDisconnected(kErrorFileSig);
        recvFileData.append("SocketDisconnected");
        const char* text = keepErrorFileText(ResultCode::NotConnected);
        qCDebug(acmLog).noquote() << "fileReadDate == " << text;
        return text;
    }
    return readCurrentError(channel);
}

const char* AsynchronousClient::readCurrentError(int32_t channel)
{
    int32_t fileChannel = 0;
    bool history = false;
    if (!errorFileSelector(channel, &fileChannel, &history))
        return refuseErrorFile(ResultCode::ErrorFileBadSelector, "Channel selection error");
    const Exchange prepared = prepareErrorFile(fileChannel, history);
    if (prepared.replied && prepared.result == ResultCode::ErrorFileNotReady)
        return refuseErrorFile(ResultCode::ErrorFileNotReady, "timeout get curErrorerror file");
    const Exchange done = prepared.result == ResultCode::Success ? readErrorFile(errorFilePath(fileChannel, history))
                                                                  : prepared;
    return done.replied ? keepErrorFileText(done.result) : nullptr;
}

// The caller's own copy: another thread's call must not change or free it.
const char* AsynchronousClient::keepErrorFileText(int32_t status)
{
    recvFileData[0] = QByteArray::number(status).at(0);
    if (logFlags & LogFlag::Progress)
        qCDebug(acmLog).noquote() << "getCncCurrentError" << "datez_size" << recvFileData.size();
    QByteArray& mine = errorFileTexts[QThread::currentThreadId()];
    mine = QByteArray(recvFileData.constData(), recvFileData.size());
    return mine.constData();
}

const char* AsynchronousClient::refuseErrorFile(int32_t status, const char* message)
{
    if (logFlags & LogFlag::Errors)
        qCDebug(acmLog).noquote() << "getCncCurrentError" << message;
    recvFileData.append(message);
    return keepErrorFileText(status);
}

// One request of the exchange; not replied when its wait failed. A refusal is 3, whatever state.
AsynchronousClient::Exchange AsynchronousClient::errorFileStep(Msg id, const CommandCodec::Args& args)
{
    Exchange done = transact(id, args, false);
    if (done.replied && syncMode == 1 && replyErrorFlag)
        done.result = ResultCode::ReplyFailed;
    return done;
}

// Asks the controller to prepare the file. A request it did not take is a failure of its own;
// it must not go on to open whatever file was there before.
AsynchronousClient::Exchange AsynchronousClient::prepareErrorFile(int32_t fileChannel, bool history)
{
    const int32_t request = history ? kErrorHistory : kCurrentErrors;
    int32_t r = writeVarsLocked(&kErrorFileChannelVar, 1, &fileChannel, false);
    if (r == ResultCode::Success)
        r = writeVarsLocked(&kErrorFileRequestVar, 1, &request, false);
    if (r != ResultCode::Success)
        return {r != ResultCode::NoValidReply, r};
    CommTiming::pause(CommTiming::now().fileReadyPauseMs);
    // A read-back that brought no value proves nothing: not ready, like a value other than 0. An
    // asynchronous client has always answered it from its cache.
    int32_t pending = -1;
    r = readVarsLocked(&kErrorFileRequestVar, 1, &pending, false, false);
    if (r == ResultCode::NoValidReply)
        return {false, r};
    if (r != ResultCode::Success || pending != 0)
        return {true, ResultCode::ErrorFileNotReady};
    return {true, ResultCode::Success};
}

// A file that opened is closed however its pieces went. A piece that failed is not hidden by a
// good close: the status is the failure's.
AsynchronousClient::Exchange AsynchronousClient::readErrorFile(const QByteArray& path)
{
    if (logFlags & LogFlag::Progress)
        qCDebug(acmLog).noquote() << "getCncCurrentError" << "channelName1=" << QString::fromLatin1(path);
    const Exchange open = errorFileStep(Msg::ErrorFileOpen, CommandCodec::Args().data(path.constData(), 0));
    if (open.replied && open.result != ResultCode::Success && (logFlags & LogFlag::Errors))
        qCDebug(acmLog).noquote() << "getCncCurrentError" << "CncErrorFile open false";
    if (!open.replied || open.result != ResultCode::Success)
        return open;
    const Exchange pieces = readErrorFilePieces();
    if (!pieces.replied)
        return pieces;
    const Exchange close = errorFileStep(Msg::ErrorFileClose, {});
    if (!close.replied || pieces.result == ResultCode::Success)
        return close;
    return pieces;
}

// Pieces until a good one shorter than a whole piece; a failing piece, whatever its size, is
// asked again.
AsynchronousClient::Exchange AsynchronousClient::readErrorFilePieces()
{
    for (int failuresInRow = 0;;) {
        const int before = recvFileData.size();
        const Exchange piece = errorFileStep(Msg::ErrorFileRead, {});
        if (!piece.replied)
            return piece;
        if (piece.result != ResultCode::Success) {
            if (logFlags & LogFlag::Errors)
                qCDebug(acmLog).noquote() << "getCncCurrentError" << "CncErrorFile read false";
            if (++failuresInRow >= kErrorFileReadAttempts)
                return piece;
            continue;
        }
        failuresInRow = 0;
        if (recvFileData.size() - 1 > kMostErrorFileBytes) {
            qCDebug(acmLog).noquote() << "getCncCurrentError" << "error file longer than" << kMostErrorFileBytes;
            return {true, ResultCode::ReplyFailed};
        }
        if (recvFileData.size() - before < kErrorFilePieceBytes)
            return piece;
    }
}

// The head announces the text's length; text requests follow until that much has come. The
// caller's buffer gets at most CallerBuffer::TextBytes bytes, terminated, and is emptied when
// the call fails. A controller that announces more than it sends is asked at most
// kErrorTextEmptyReplies times in a row in vain (113), and no more than the buffer holds is
// asked for.
int32_t AsynchronousClient::getCurErrString(int32_t channel, int32_t value, char* text)
{
    ReportingLock lock(*this);
    if (!socketConnected()) {
        logDisconnected(kErrorTextSig);
        if (text)
            text[0] = '\0';
        return ResultCode::NotConnected;
    }
    if (!text)
        return ResultCode::ArgumentOutOfRange;
    text[0] = '\0';
    return readErrorText(channel, value, text);
}

int32_t AsynchronousClient::readErrorText(int32_t channel, int32_t value, char* text)
{
    recvFileData.clear();
    const Exchange head = transact(Msg::ErrorTextHead, {channel, value}, false);
    if (!head.replied || head.result != ResultCode::Success)
        return ResultCode::ErrorTextHeadFailed;
    const int64_t announced = announcedLength(recvFileData);
    const int wanted = int(std::min<int64_t>(announced, CallerBuffer::TextBytes - 1));
    QByteArray collected;
    for (int emptyReplies = 0; collected.size() < wanted;) {
        recvFileData.clear();
        const Exchange part = transact(Msg::ErrorTextData, {}, false);
        if (!part.replied || part.result != ResultCode::Success)
            return ResultCode::ErrorTextDataFailed;
        emptyReplies = recvFileData.isEmpty() ? emptyReplies + 1 : 0;
        if (emptyReplies >= kErrorTextEmptyReplies)
            return ResultCode::ErrorTextDataFailed;
        collected += recvFileData;
    }
    if ((!copyTerminated(collected, text) || announced > wanted) && (logFlags & LogFlag::Errors))
        qCDebug(acmLog).noquote() << kErrorTextSig << "text cut to" << (CallerBuffer::TextBytes - 1) << "of" << announced;
    return ResultCode::Success;
}

// The path goes as Latin-1, one byte a character: a name with other characters would name
// another file, so it is refused (1). info gets the answer as UTF-8, at most
// CallerBuffer::TextBytes bytes with the terminating 0 (a reply frame holds less than that),
// and is emptied when the call fails.
int32_t AsynchronousClient::getCncFileInf(int32_t type, int32_t channel, const QString& fileName, char* info)
{
    if (info)
        info[0] = '\0';
    if ((type != 0 && type != 1) || !info || !isLatin1(fileName))
        return ResultCode::ArgumentOutOfRange;
    const QString path = QStringLiteral("/home/root/veko/usr/") + (channel <= 9 ? QStringLiteral("sys000") : QStringLiteral("sys00")) +
                         QString::number(channel) + (type == 0 ? QStringLiteral("/plc/") : QStringLiteral("/program/")) + fileName;
    const QByteArray latin = path.toLatin1();
    ReportingLock lock(*this);
    if (!socketConnected()) {
        logDisconnected(kFileInfSig);
        return ResultCode::NotConnected;
    }
    recvFileData.clear();
    isSetFileOk = false;
    const Exchange done = transact(Msg::FileInfo, CommandCodec::Args().data(latin.constData(), latin.size()), true);
    if (done.replied)
        copyTerminated(recvFileData, info);
    return done.result;
}

QByteArray AsynchronousClient::callerErrorFileText()
{
    std::lock_guard<std::mutex> lock(mutex);
    const auto it = errorFileTexts.find(QThread::currentThreadId());
    return it == errorFileTexts.end() ? QByteArray() : it->second;
}
