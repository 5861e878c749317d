#pragma once
#include "VProtocol_Client.h"

#include <cstring>

// A codec whose reply callbacks read everything they are handed, as the client's handlers do,
// and count the calls: reads past a frame show up under the address sanitizer.
struct ReplyToucher : VProtocol_Client
{
    volatile int64_t sink = 0;
    int calls = 0;        // reply callbacks of a known kind
    int unknownCalls = 0; // onRecCmdUnknown

    ReplyToucher(uint8_t* frame, int mode) : VProtocol_Client(nullptr, frame, mode) {}

    void values(const int32_t* v, int32_t n)
    {
        for (int i = 0; v && i < n; ++i)
            sink += v[i];
    }
    void status(int32_t s) { ++calls; sink += s; }
    void text(const char* t) { sink += t ? std::strlen(t) : 0; }

    void onRecCmdReadVars(int32_t f, const int32_t* v, int32_t n) override { status(f); values(v, n); }
    void onRecCmdGetOscPoint(int32_t s, int32_t n, const int32_t* v) override { status(s); values(v, n); }
    void onRecCmdHomeAxes(int32_t s, int32_t n, const int32_t* v) override { status(s); values(v, n); }
    void onRecCmdValues(int32_t s, int32_t n, const int32_t* v) override { status(s); values(v, n); }
    void onRecCmdAlarmRead(int32_t s, int32_t n, const int32_t* v) override { status(s); values(v, n); }
    void onRecCmdGetAxesCoord(int32_t s, int32_t n, const int32_t* v) override { status(s); values(v, n); }
    void onRecCmdJogMotionP_IsStop(int32_t s, const int32_t* v) override { status(s); values(v, 1); }
    void onRecCmdGetCncString(int32_t k, const char* t) override { status(k); text(t); }
    void onRecCmdGetCncFileInf(int32_t s, const char* t) override { status(s); text(t); }
    // The client's handler takes (length - 10) bytes after the count byte when the count agrees.
    void onRecCmdReadFile(const uint8_t* d, int32_t frameLength) override
    {
        ++calls;
        const int32_t count = int8_t(d[0]);
        if (frameLength - 10 == count)
            for (int i = 1; i <= count; ++i)
                sink += d[i];
    }
    void onRecCmdErrorInf(int32_t s, QByteArray b) override { status(s); sink += b.size(); }
    void onRecCmdErrorData(QByteArray b) override { ++calls; sink += b.size(); }
    void onRecCmdWriteVars(int32_t f) override { status(f); }
    void onReciveCmdGetFileTransState(int32_t s) override { status(s); }
    void onReciveCmdSetFileInf(int32_t s) override { status(s); }
    void onReciveCmdOverWriteTxt(int32_t s) override { status(s); }
    void onReciveCmdAppendTxt(int32_t s) override { status(s); }
    void onReciveCmdFileEnd(int32_t s) override { status(s); }
    void onReciveCmdTransFileState(int32_t s) override { status(s); }
    void onReciveCmdReset(int32_t s) override { status(s); }
    void onReciveCmdCycStart(int32_t s) override { status(s); }
    void onReciveCmdF5(int32_t s) override { status(s); }
    void onRecCmdOpenReadFile(int32_t s) override { status(s); }
    void onRecCmdCloseReadFile(int32_t s) override { status(s); }
    void onRecCmdBinFile(int32_t s) override { status(s); }
    void onRecCmdSetOscAxis(int32_t s) override { status(s); }
    void onRecCmdSetOscTransEn(int32_t s) override { status(s); }
    void onRecCmdCheckTcpWdt(int32_t s) override { status(s); }
    void onRecCmdJogMotionV_Run(int32_t s) override { status(s); }
    void onRecCmdJogMotionV_Stop(int32_t s) override { status(s); }
    void onRecCmdJogMotionV_MfoSet(int32_t s) override { status(s); }
    void onRecCmdJogMotionP_Run(int32_t s) override { status(s); }
    void onRecCmdJogMotionP_MfoSet(int32_t s) override { status(s); }
    void onRecCmdJogMotionP_Stop(int32_t s) override { status(s); }
    void onRecCmdHomeRunAxis(int32_t s) override { status(s); }
    void onRecCmdStatusS(int32_t s) override { status(s); }
    void onRecCmdStatus(int32_t s) override { status(s); }
    void onRecCmdUnknown() override { ++unknownCalls; }
};
