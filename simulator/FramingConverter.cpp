#include "FramingConverter.h"

#include "FrameMode.h"
#include "FrameReader.h"
#include "FrameWriter.h"

QByteArray FramingConverter::convert(const QByteArray& frame, int fromMode, int toMode, bool asReply)
{
    const FrameReader r(reinterpret_cast<const uint8_t*>(frame.constData()), frame.size(), fromMode);
    if (!r.has(r.headerLen(), 1))
        return QByteArray();
    const QByteArray fields = r.tail(r.headerLen() + 1);
    uint8_t buf[kFrameBufferSize];
    FrameWriter w(buf, sizeof buf, toMode);
    w.code(r.byteAt(r.headerLen())).bytes(reinterpret_cast<const uint8_t*>(fields.constData()), fields.size());
    const int n = asReply ? w.finishReply() : w.finishRequest();
    return n > 0 ? QByteArray(reinterpret_cast<const char*>(buf), n) : QByteArray();
}
