// A reply frame decoded into a value by its row's shape.
#include "CommandCodec.h"

#include "Checksum.h"
#include "FrameMode.h"
#include "FrameReader.h"
#include "LogCategory.h"

#include <QDebug>

namespace CommandCodec {

using CommandTable::Shape;

namespace {

// Fixed number of int32 values from offset; false when they do not all lie inside the frame.
bool readValues(const FrameReader& r, int offset, int count, QVector<int32_t>& out)
{
    out.clear();
    if (count <= 0)
        return true;
    if (!r.has(offset, 4 * count))
        return false;
    out.resize(count);
    for (int i = 0; i < count; ++i)
        out[i] = r.int32At(offset + 4 * i);
    return true;
}

// Text from offset to the first NUL or the frame's end.
QByteArray textFrom(const FrameReader& r, int offset)
{
    const QByteArray t = r.tail(offset);
    const int nul = t.indexOf('\0');
    return nul >= 0 ? t.left(nul) : t;
}

bool checksumPasses(const uint8_t* b, int n, int frameMode)
{
    if (frameMode == FrameSerialStation)
        return Checksum::crc16(b, static_cast<uint16_t>(n - 2)) == (b[n - 2] | b[n - 1] << 8);
    if (frameMode != FrameSerialColon)
        return true;
    const uint8_t lrc = Checksum::lrc(b + 1, static_cast<uint16_t>(n - 3));
    if (lrc != b[n - 2])
        qCDebug(acmLog) << "analysisReciveBuffer" << "calLrc==" << unsigned(lrc) << "recLrc==" << unsigned(b[n - 2])
                        << "recDataSize==" << n;
    return lrc == b[n - 2];
}

bool readState(const FrameReader& r, int offset, Reply& out)
{
    if (!r.has(offset, 1))
        return false;
    out.state = r.signedByteAt(offset);
    return true;
}

// A count byte at offset, then that many int32 values.
bool readCounted(const FrameReader& r, int offset, Reply& out)
{
    return r.has(offset, 1) && readValues(r, offset + 1, r.signedByteAt(offset), out.values);
}

// The fields of the row's shape, from at (the byte after the code and sub-code); false when the
// frame ends before them.
bool readFields(const FrameReader& r, int h, int at, Reply& out)
{
    const CommandTable::Answer& answer = out.message->answer;
    switch (answer.shape) {
    case Shape::Ack: case Shape::AckAny: return true;
    case Shape::ErrorReply: out.state = 1; return true;
    case Shape::Status: return readState(r, at, out);
    case Shape::StatusAt: return readState(r, h + answer.count, out);
    case Shape::Values: return readState(r, at, out) && readValues(r, at + 1, answer.count, out.values);
    case Shape::CountedList: return readState(r, at, out) && readCounted(r, at + 1, out);
    case Shape::Counted: return readCounted(r, at, out);
    case Shape::ValueStatus: return readValues(r, at, 1, out.values) && readState(r, at, out);
    case Shape::StatusText: out.bytes = textFrom(r, at + 1); return readState(r, at, out);
    case Shape::Text: out.bytes = textFrom(r, at); return true;
    case Shape::StatusData: out.bytes = r.tail(at + 1); return readState(r, at, out);
    case Shape::Data: case Shape::Logged: out.bytes = r.tail(at); return true;
    case Shape::Piece:
        if (!r.has(at, 1))
            return false;
        out.bytes = r.tail(at + 1);
        out.state = out.bytes.size() == r.signedByteAt(at) ? 0 : CommandTable::kWrongSizePiece;
        return true;
    }
    return false;
}

} // namespace

Reply decode(const uint8_t* frame, int length, int frameMode)
{
    Reply out;
    const int h = headerLenForMode(frameMode);
    if (!frame || length <= h || length > kFrameBufferSize)
        return out;
    if (frameMode != FrameTcp && length <= 2)
        return out;
    if (!checksumPasses(frame, length, frameMode)) {
        out.status = BadChecksum;
        return out;
    }
    const FrameReader r(frame, length, frameMode);
    if (!r.has(h, 1))
        return out;
    const uint8_t code = r.byteAt(h);
    if (!isKnownCode(code)) {
        out.message = &CommandTable::row(Msg::Unknown);
        return out;
    }
    const bool sub = hasSubCode(code);
    if (sub && !r.has(h + 1, 1))
        return out;
    out.message = replyRow(code, sub ? r.byteAt(h + 1) : CommandTable::kNoSub);
    if (!out.message || !readFields(r, h, h + (sub ? 2 : 1), out)) {
        out.message = nullptr;
        return out;
    }
    out.status = out.message->answer.shape == Shape::ErrorReply ? Refusal : Handled;
    return out;
}

} // namespace CommandCodec
