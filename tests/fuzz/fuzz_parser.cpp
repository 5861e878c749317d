// Feeds arbitrary bytes to the reply parser and the frame boundary finder.
// The first byte picks the framing; callbacks touch everything they are given.
#include "FrameBoundary.h"
#include "VProtocol_Client.h"
#include <cstring>

namespace {
struct Toucher : VProtocol_Client {
    uint8_t out[500] = {};
    uint8_t in[500] = {};
    volatile int64_t sink = 0;
    Toucher() { sendBuf = out; recvBuf = in; }
    void values(const int32_t* v, int32_t n) { for (int i = 0; v && i < n; ++i) sink += v[i]; }
    void onRecCmdReadVars(int32_t, const int32_t* v, int32_t n) override { values(v, n); }
    void onRecCmdGetOscPoint(int32_t, int32_t n, const int32_t* v) override { values(v, n); }
    void onRecCmdHomeAxes(int32_t, int32_t n, const int32_t* v) override { values(v, n); }
    void onRecCmdValues(int32_t, int32_t n, const int32_t* v) override { values(v, n); }
    void onRecCmdAlarmRead(int32_t, int32_t n, const int32_t* v) override { values(v, n); }
    void onRecCmdGetAxesCoord(int32_t, int32_t n, const int32_t* v) override { values(v, n); }
    void onRecCmdJogMotionP_IsStop(int32_t, const int32_t* v) override { values(v, 1); }
    void onRecCmdGetCncString(int32_t, const char* t) override { sink += std::strlen(t); }
    void onRecCmdGetCncFileInf(int32_t, const char* t) override { sink += std::strlen(t); }
    void onRecCmdReadFile(const uint8_t* d, int32_t) override { sink += d[0]; }
    void onRecCmdErrorInf(int32_t, QByteArray b) override { sink += b.size(); }
    void onRecCmdErrorData(QByteArray b) override { sink += b.size(); }
};
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1 || size > 501)
        return 0;
    const int mode = data[0] % 3;
    const int n = int(size - 1);
    Toucher t;
    t.setFrameMode(mode);
    std::memcpy(t.in, data + 1, n);
    t.analysisReciveBuffer(n);
    FrameBoundary::reply(mode, data + 1, n);
    FrameBoundary::request(mode, data + 1, n);
    return 0;
}
