// Exports of the remote buffer: the handle stands for the target, and no registry is involved.
#include "ExportFrame.h"
#include "VRemoteBuffer.h"

using namespace ExportFrame;

namespace {
VRemoteBuffer* bufferOf(AcmRemoteBuffer* handle) { return reinterpret_cast<VRemoteBuffer*>(handle); }

// The null-handle value when there is no buffer; the call's own result otherwise.
template <class R, class Body>
R onBuffer(AcmRemoteBuffer* handle, R noBuffer, Body&& body) noexcept
{
    return guarded(noBuffer, [&]() -> R { return handle ? R(body(*bufferOf(handle))) : noBuffer; });
}
} // namespace

extern "C" {

AcmRemoteBuffer* bufOpen(const char* ip, int mode, int channel)
{
    return guarded<AcmRemoteBuffer*>(nullptr, [&] {
        return reinterpret_cast<AcmRemoteBuffer*>(VRemoteBuffer::bufOpen(ip, mode, channel));
    });
}

CncLong bufWrite(AcmRemoteBuffer* handle, const char* text)
{
    return onBuffer<CncLong>(handle, 0, [&](VRemoteBuffer& b) { return b.bufWrite(text); });
}

CncLong bufClear(AcmRemoteBuffer* handle)
{
    return onBuffer<CncLong>(handle, 0, [](VRemoteBuffer& b) { return b.bufClear(); });
}

CncLong bufClose(AcmRemoteBuffer* handle)
{
    return guarded<CncLong>(0, [&] { return VRemoteBuffer::bufClose(bufferOf(handle)); });
}

CncLong getBufValidCnt(AcmRemoteBuffer* handle)
{
    return onBuffer<CncLong>(handle, 0, [](VRemoteBuffer& b) { return b.getBufValidCnt(); });
}

CncLong getBufState(AcmRemoteBuffer* handle)
{
    return onBuffer<CncLong>(handle, VRemoteBuffer::Refused, [](VRemoteBuffer& b) { return b.getBufState(); });
}

char* getBufStateInf(AcmRemoteBuffer* handle)
{
    return onBuffer<char*>(handle, nullptr, [](VRemoteBuffer& b) { return const_cast<char*>(b.getBufStateInf()); });
}

} // extern "C"
