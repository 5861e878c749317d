#include "VRemoteBuffer.h"

#include "ControllerAddress.h"
#include "FrameMode.h"
#include "TextField.h"
#include "TcpTransport.h"

#include <algorithm>

// The application's side of the remote buffer: open, close, writes and the state readers.

namespace {
constexpr int32_t kFirstChannel = 1;
constexpr int32_t kLastChannel = 99;

// The declared file: its name and the file type argument of the declaration.
constexpr int32_t kDncFileType = 1; // sent as 0x01
constexpr int32_t kMdiFileType = 0; // sent as 0x05
const char* const kDncFileName = "DNC";
const char* const kMdiFileName = "MDI";

using TextField::sendableLength;
} // namespace

VRemoteBuffer* VRemoteBuffer::bufOpen(const char* ip, int32_t mode, int32_t channel)
{
    if (!ip || (mode != MdiMode && mode != DncMode) || channel < kFirstChannel || channel > kLastChannel)
        return nullptr;
    const ControllerAddress address = ControllerAddress::parse(QByteArray(ip), kCommandPort);
    if (!address.valid || address.serial) // the buffer streams over a connection of its own
        return nullptr;
    auto* buffer = new VRemoteBuffer(address.host, mode, channel);
    buffer->port = address.port;
    buffer->start();
    return buffer;
}

VRemoteBuffer::VRemoteBuffer(const QByteArray& address, int32_t streamMode, int32_t streamChannel)
    : QThread(nullptr),
      stateText(""),
      ip(address),
      mode(streamMode),
      channel(streamChannel),
      transport(new TcpTransport),
      frameMakerBuf(new uint8_t[kFrameBufferSize]()),
      workerBuf(new uint8_t[kFrameBufferSize]())
{
}

VRemoteBuffer::~VRemoteBuffer()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopFlag = true;
    }
    wake.notify_all();
    wait();
    {
        // Pairs with the lock the worker takes last: a hand-over race detectors can see.
        std::lock_guard<std::mutex> lock(mutex);
    }
    transport.reset();
}

int32_t VRemoteBuffer::bufClose(VRemoteBuffer* buffer)
{
    if (!buffer)
        return 0;
    {
        std::lock_guard<std::mutex> lock(buffer->mutex);
        buffer->setState(Closed);
    }
    delete buffer; // stops and joins the worker first
    return 1;
}

bool VRemoteBuffer::acceptsWrites() const
{
    return state == Ready || state == Idle;
}

QByteArray VRemoteBuffer::declarationFrame(VProtocol_Client& codec) const
{
    const bool dnc = mode == DncMode;
    const int32_t n = codec.CmdSetTransFileType(channel, dnc ? kDncFileType : kMdiFileType, dnc ? kDncFileName : kMdiFileName, false);
    return QByteArray(reinterpret_cast<const char*>(codec.sendBuf), std::max(n, 0));
}

int32_t VRemoteBuffer::bufWrite(const char* text)
{
    // A text the controller cannot take whole is not cut short: a program that ends early would
    // run as if complete.
    if (!text || TextField::firstUnsendable(text) >= 0)
        return 0;
    const qint64 length = sendableLength(text);
    std::lock_guard<std::mutex> lock(mutex);
    const bool mdi = mode == MdiMode;
    // A write is taken whole or not at all: one larger than the room left would outgrow the
    // queue's memory or the MDI budget, and a part of it would be a program cut short.
    const qint64 frameCount = (length + kPieceSize - 1) / kPieceSize + (mdi ? 1 : 0);
    if (!acceptsWrites() || frameCount > kQueueLimit - frameQueue.size() ||
        (mdi && length > qint64(byteBudget) - bytesWritten))
        return 0;
    QList<QByteArray> frames;
    for (qint64 offset = 0; offset < length; offset += kPieceSize) {
        char piece[kPieceSize + 1] = {};
        std::copy(text + offset, text + std::min(length, offset + kPieceSize), piece);
        const int32_t n = frameMaker.CmdAppend(piece);
        frames.append(QByteArray(reinterpret_cast<const char*>(frameMaker.sendBuf), n));
    }
    if (mdi) {
        const int32_t n = frameMaker.CmdFileEnd();
        frames.append(QByteArray(reinterpret_cast<const char*>(frameMaker.sendBuf), n));
        bytesWritten += int32_t(length);
    }
    // An empty write changes nothing: state 5 must not claim a block still outstanding.
    if (frames.isEmpty())
        return 1;
    frameQueue.append(frames);
    setState(Ready);
    wake.notify_all();
    return 1;
}

int32_t VRemoteBuffer::bufClear()
{
    std::lock_guard<std::mutex> lock(mutex);
    if (!acceptsWrites())
        return 0;
    const QByteArray declaration = declarationFrame(frameMaker);
    const int32_t n = frameMaker.CmdOverwrite("");
    const QByteArray emptyOverwrite(reinterpret_cast<const char*>(frameMaker.sendBuf), n);
    frameQueue.clear();
    frameQueue.append(declaration);
    frameQueue.append(emptyOverwrite);
    bytesWritten = 0;
    setState(Ready);
    wake.notify_all();
    return 1;
}

int32_t VRemoteBuffer::getBufValidCnt()
{
    std::lock_guard<std::mutex> lock(mutex);
    if (!acceptsWrites())
        return 0;
    const qint64 free = mode == DncMode ? qint64(kQueueLimit - frameQueue.size()) * kPieceSize : qint64(byteBudget) - bytesWritten;
    return int32_t(std::max<qint64>(free, 0));
}

int32_t VRemoteBuffer::getBufState() const
{
    return state;
}

const char* VRemoteBuffer::getBufStateInf() const
{
    return stateText;
}

// Texts are kept for the buffer's life, so a pointer the application holds never dangles.
void VRemoteBuffer::setState(int32_t newState, const std::string& text)
{
    stateText = stateTexts.insert(text).first->c_str();
    state = newState;
}

void VRemoteBuffer::setState(int32_t newState, const char* text)
{
    if (text)
        setState(newState, std::string(text));
    else
        state = newState;
}
