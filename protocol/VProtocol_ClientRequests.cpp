#include "VProtocol_Client.h"
#include "LogCategory.h"
#include "FrameMode.h"
#include "FrameWriter.h"
#include "TextField.h"
#include <QDebug>
#include <chrono>
#include <initializer_list>
#include <thread>

namespace {

constexpr int kNoSub = -1;
constexpr int kNameLimit = 100;
constexpr int kProgramTextLimit = 480;

FrameWriter writerFor(VProtocol_Client* c, uint8_t code, int sub)
{
    FrameWriter w(c->sendBuf, kFrameBufferSize, c->frameMode);
    w.code(code);
    if (sub != kNoSub)
        w.byte(sub);
    return w;
}

// Most requests: code, optional sub-code, then int32 fields.
int32_t intRequest(VProtocol_Client* c, uint8_t code, int sub, std::initializer_list<int32_t> fields)
{
    FrameWriter w = writerFor(c, code, sub);
    for (int32_t v : fields)
        w.int32(v);
    return w.finishRequest();
}

// Names and data of the binary file requests go as their whole UTF-8 form: cutting it at the
// number of characters would drop the end of any text that is not plain ASCII.
QByteArray utf8Bytes(const QString& text)
{
    return text.toUtf8();
}

const uint8_t* asBytes(const QByteArray& b) { return reinterpret_cast<const uint8_t*>(b.constData()); }

uint8_t fileTypeByte(int32_t fileType)
{
    switch (fileType) {
    case 1: return 0x01;
    case 2: return 0x03;
    case 3: return 0x04;
    case 17: return 0x11;
    default: return 0x05;
    }
}

// Program text is 7-bit: it ends at its first byte that is 0 or has the top bit set. Counts at
// most one byte past the limit, enough to tell a text that is too long.
// The text's sendable bytes, counted one past the limit so a longer text is refused.
int32_t textLength(const char* text)
{
    return int32_t(TextField::sendableLength(text, kProgramTextLimit + 1));
}

}

// ---- motion, program and machine requests ----
int32_t VProtocol_Client::CmdJogMotionV_Run(int32_t ch, int32_t axis, int32_t feed, int32_t neg, int32_t fast) { return intRequest(this, 'r', 0x01, {ch, axis, feed, neg, fast}); }
int32_t VProtocol_Client::CmdJogMotionV_Stop(int32_t ch, int32_t axis) { return intRequest(this, 'r', 0x02, {ch, axis}); }
int32_t VProtocol_Client::CmdJogMotionV_MfoSet(int32_t ch, int32_t mfo) { return intRequest(this, 'r', 0x03, {ch, mfo}); }
int32_t VProtocol_Client::CmdJogMotionV_FastOnSet(int32_t ch, int32_t fast) { return intRequest(this, 'r', 0x04, {ch, fast}); }
int32_t VProtocol_Client::CmdJogMotionV_Para(int32_t ch, int32_t axis, int32_t feed, int32_t neg, int32_t fast) { return intRequest(this, 'r', 0x05, {ch, axis, feed, neg, fast}); }
int32_t VProtocol_Client::CmdJogMotionV_AxesRun(int32_t ch, int32_t h, int32_t l) { return intRequest(this, 'r', 0x06, {ch, h, l}); }
int32_t VProtocol_Client::CmdJogMotionV_AxesStop(int32_t ch, int32_t h, int32_t l) { return intRequest(this, 'r', 0x0F, {ch, h, l}); }
int32_t VProtocol_Client::CmdJogMotionP_Run(int32_t ch, int32_t axis, int32_t feed, int32_t len, int32_t abs, int32_t mec) { return intRequest(this, 'r', 0x07, {ch, axis, feed, len, abs, mec}); }
int32_t VProtocol_Client::CmdJogMotionP_Stop(int32_t ch, int32_t axis) { return intRequest(this, 'r', 0x08, {ch, axis}); }
int32_t VProtocol_Client::CmdJogMotionP_MfoSet(int32_t ch, int32_t mfo) { return intRequest(this, 'r', 0x09, {ch, mfo}); }
int32_t VProtocol_Client::CmdJogMotionP_MotionIsStop(int32_t ch, int32_t axis, int32_t mode) { return intRequest(this, 'r', 0x0A, {ch, axis, mode}); }
int32_t VProtocol_Client::CmdJogMotionP_Para(int32_t ch, int32_t axis, int32_t feed, int32_t len, int32_t abs, int32_t mec) { return intRequest(this, 'r', 0x0B, {ch, axis, feed, len, abs, mec}); }
int32_t VProtocol_Client::CmdJogMotionP_AxesRun(int32_t ch, int32_t h, int32_t l) { return intRequest(this, 'r', 0x0C, {ch, h, l}); }
int32_t VProtocol_Client::CmdJogMotionP_AxesStop(int32_t ch, int32_t h, int32_t l) { return intRequest(this, 'r', 0x0D, {ch, h, l}); }
int32_t VProtocol_Client::CmdJogMotionP_AxesIsStop(int32_t ch, int32_t h, int32_t l, int32_t mode) { return intRequest(this, 'r', 0x0E, {ch, h, l, mode}); }
int32_t VProtocol_Client::CmdHomeRunAxis(int32_t ch, int32_t axis) { return intRequest(this, 'q', 0x01, {ch, axis}); }
int32_t VProtocol_Client::CmdHomeRunAxes(int32_t ch, int32_t h, int32_t l) { return intRequest(this, 'q', 0x02, {ch, h, l}); }
int32_t VProtocol_Client::CmdHomeAxisIsEnd(int32_t ch, int32_t axis) { return intRequest(this, 'q', 0x03, {ch, axis}); }
int32_t VProtocol_Client::CmdHomeAxesIsEnd(int32_t ch, int32_t h, int32_t l) { return intRequest(this, 'q', 0x04, {ch, h, l}); }
int32_t VProtocol_Client::CmdHomeAxisIsInProcess(int32_t ch, int32_t axis) { return intRequest(this, 'q', 0x05, {ch, axis}); }
int32_t VProtocol_Client::CmdHomeAxesIsInProcess(int32_t ch, int32_t h, int32_t l) { return intRequest(this, 'q', 0x06, {ch, h, l}); }
int32_t VProtocol_Client::CmdMpgSelection(int32_t ch, int32_t id) { return intRequest(this, 'w', 0x01, {ch, id}); }
int32_t VProtocol_Client::CmdMpgAxesSet(int32_t ch, int32_t h, int32_t l) { return intRequest(this, 'w', 0x02, {ch, h, l}); }
int32_t VProtocol_Client::CmdMpgMfoSet(int32_t ch, int32_t mfo) { return intRequest(this, 'w', 0x03, {ch, mfo}); }
int32_t VProtocol_Client::CmdPrgCycleStart(int32_t ch) { return intRequest(this, 't', 0x01, {ch}); }
int32_t VProtocol_Client::CmdPrgStop(int32_t ch) { return intRequest(this, 't', 0x02, {ch}); }
int32_t VProtocol_Client::CmdPrgPause(int32_t ch, int32_t a2, int32_t a3) { return intRequest(this, 't', 0x03, {ch, a2, a3}); }
int32_t VProtocol_Client::CmdPrgSingleBlockSet(int32_t ch, int32_t v) { return intRequest(this, 't', 0x04, {ch, v}); }
int32_t VProtocol_Client::CmdPrgOptionSkipSet(int32_t ch, int32_t v) { return intRequest(this, 't', 0x05, {ch, v}); }
int32_t VProtocol_Client::CmdPrgMpgTestSet(int32_t ch, int32_t v) { return intRequest(this, 't', 0x06, {ch, v}); }
int32_t VProtocol_Client::CmdPrgMpgTestSimuSet(int32_t ch, int32_t v) { return intRequest(this, 't', 0x07, {ch, v}); }
int32_t VProtocol_Client::CmdEmStopSet(int32_t ch, int32_t v) { return intRequest(this, 't', 0x08, {ch, v}); }
int32_t VProtocol_Client::CmdPrgReset(int32_t ch) { return intRequest(this, 't', 0x09, {ch}); }
int32_t VProtocol_Client::CmdAlarmRead(int32_t ch) { return intRequest(this, 't', 0x0A, {ch}); }
int32_t VProtocol_Client::CmdGetXBit(int32_t ch, int32_t kind, int32_t index) { return intRequest(this, 'u', 0x01, {ch, kind, index}); }
int32_t VProtocol_Client::CmdSetXBit(int32_t ch, int32_t kind, int32_t index, int32_t value, int32_t extra) { return intRequest(this, 'u', 0x02, {ch, kind, index, value, extra}); }
int32_t VProtocol_Client::CmdGetAxisMotionStatus(int32_t ch, int32_t axis) { return intRequest(this, 'v', 0x01, {ch, axis}); }
int32_t VProtocol_Client::CmdGetAxesMotionStatus(int32_t ch, int32_t h, int32_t l) { return intRequest(this, 'v', 0x02, {ch, h, l}); }
int32_t VProtocol_Client::CmdServoOnAxisSet(int32_t a1, int32_t a2) { return intRequest(this, 'v', 0x03, {a1, a2}); }
int32_t VProtocol_Client::CmdServoOnAxesSet(int32_t a1, int32_t a2, int32_t a3, int32_t a4) { return intRequest(this, 'v', 0x04, {a1, a2, a3, a4}); }
int32_t VProtocol_Client::CmdServoOnAxisGet(int32_t a1) { return intRequest(this, 'v', 0x05, {a1}); }
int32_t VProtocol_Client::CmdServoOnAxesGet(int32_t a1, int32_t a2) { return intRequest(this, 'v', 0x06, {a1, a2}); }
int32_t VProtocol_Client::CmdGetAxisCoord(int32_t a1, int32_t a2, int32_t a3) { return intRequest(this, 'v', 0x07, {a1, a2, a3}); }
int32_t VProtocol_Client::CmdGetAxesCoord(int32_t a1, int32_t a2, int32_t a3, int32_t a4) { return intRequest(this, 'v', 0x08, {a1, a2, a3, a4}); }
int32_t VProtocol_Client::CmdSetCncStaticIp(int32_t a1, int32_t a2, int32_t a3, int32_t a4, int32_t a5, int32_t a6) { return intRequest(this, 0x81, kNoSub, {a1, a2, a3, a4, a5, a6}); }
int32_t VProtocol_Client::CmdBusParameterInit() { return intRequest(this, 0x82, 0x01, {}); }
int32_t VProtocol_Client::CmdBusAxisParameterWr(int32_t a1, int32_t a2, int32_t a3, int32_t a4, int32_t a5) { return intRequest(this, 0x82, 0x02, {a1, a2, a3, a4, a5}); }
int32_t VProtocol_Client::CmdBusAxisParameterRd(int32_t a1, int32_t a2, int32_t a3, int32_t a4) { return intRequest(this, 0x82, 0x03, {a1, a2, a3, a4}); }
int32_t VProtocol_Client::CmdBusAxisParameterWrRd(int32_t a1, int32_t a2, int32_t a3, int32_t a4, int32_t a5) { return intRequest(this, 0x82, 0x04, {a1, a2, a3, a4, a5}); }
int32_t VProtocol_Client::CmdBusAxisParametersWrRd(int32_t a1, int32_t a2, int32_t a3, int32_t a4) { return intRequest(this, 0x82, 0x05, {a1, a2, a3, a4}); }
int32_t VProtocol_Client::CmdBusAxisParameterFileLS(int32_t a1, int32_t a2, int32_t a3) { return intRequest(this, 0x82, 0x06, {a1, a2, a3}); }
int32_t VProtocol_Client::CmdBusAxesParameterFileLS(int32_t a1, int32_t a2) { return intRequest(this, 0x82, 0x07, {a1, a2}); }
int32_t VProtocol_Client::CmdBusAxisMisCmdRun(int32_t a1, int32_t a2) { return intRequest(this, 0x82, 0x08, {a1, a2}); }
int32_t VProtocol_Client::CmdBusGetSlvInfo(int32_t a1) { return intRequest(this, 0x82, 0x09, {a1}); }
int32_t VProtocol_Client::CmdBusGetSlvHardAxisList() { return intRequest(this, 0x82, 0x0A, {}); }
int32_t VProtocol_Client::CmdBusGetSlvNum() { return intRequest(this, 0x82, 0x0B, {}); }
int32_t VProtocol_Client::CmdBusIsReady() { return intRequest(this, 0x82, 0x0C, {}); }
int32_t VProtocol_Client::CmdBusIsTimeOut() { return intRequest(this, 0x82, 0x0D, {}); }
int32_t VProtocol_Client::CmdSetOscAxis(int32_t ch, int32_t axis, int32_t type) { return intRequest(this, 'i', 0x01, {ch, axis, type}); }
int32_t VProtocol_Client::CmdSetOscTransEn(int32_t v) { return intRequest(this, 'i', 0x02, {v}); }
int32_t VProtocol_Client::CmdCheckTcpWdt() { return intRequest(this, 'p', kNoSub, {}); }

// ---- variables, bit arrays, oscilloscope ----
int32_t VProtocol_Client::CmdReadCountVars(int32_t start, int32_t count) { return intRequest(this, 'A', kNoSub, {start, count}); }

int32_t VProtocol_Client::CmdReadSeqVars(int32_t start, int32_t count)
{
    if (count < 1 || count > maxReadCount || !isValidVarAddress(start) || !isValidVarAddress(start + count))
        return 0;
    FrameWriter w = writerFor(this, 'A', kNoSub);
    w.byte(count);
    for (int32_t i = 0; i < count; ++i)
        w.int32(start + i);
    return w.finishRequest();
}

int32_t VProtocol_Client::CmdReadVars(const int32_t* addresses, int32_t count)
{
    if (!addresses || count < 1 || count > maxReadCount)
        return 0;
    FrameWriter w = writerFor(this, 'B', kNoSub);
    w.byte(count);
    for (int32_t i = 0; i < count; ++i) {
        if (!isValidVarAddress(addresses[i]))
            return 0;
        w.int32(addresses[i]);
    }
    return w.finishRequest();
}

int32_t VProtocol_Client::CmdWriteVars(const int32_t* addresses, const int32_t* values, int32_t count)
{
    if (!addresses || !values || count < 1 || count > maxWritePairs)
        return 0;
    FrameWriter w = writerFor(this, 'D', kNoSub);
    w.byte(count);
    for (int32_t i = 0; i < count; ++i) {
        if (!isValidVarAddress(addresses[i]))
            return 0;
        w.int32(addresses[i]).int32(values[i]);
    }
    return w.finishRequest();
}

int32_t VProtocol_Client::CmdGetIbits(int32_t ch, const int32_t* elements, int32_t count)
{
    if (count < 0 || (count > 0 && !elements))
        return 0;
    FrameWriter w = writerFor(this, 'x', kNoSub);
    w.int32(ch).int32(count);
    for (int32_t i = 0; i < count && !w.overflowed(); ++i)
        w.int32(elements[i]);
    return w.finishRequest();
}

namespace {
int32_t pairRequest(VProtocol_Client* c, uint8_t code, int32_t ch, const int32_t* first, const int32_t* second,
                    int32_t count, const int32_t* extra)
{
    if (count < 0 || (count > 0 && (!first || !second)))
        return 0;
    FrameWriter w = writerFor(c, code, kNoSub);
    w.int32(ch).int32(count);
    if (extra)
        w.int32(*extra);
    for (int32_t i = 0; i < count && !w.overflowed(); ++i)
        w.int32(first[i]).int32(second[i]);
    return w.finishRequest();
}
}

int32_t VProtocol_Client::CmdSetPlcObits(int32_t ch, const int32_t* first, const int32_t* second, int32_t count)
{
    return pairRequest(this, 'y', ch, first, second, count, nullptr);
}

int32_t VProtocol_Client::CmdSetCncObits(int32_t ch, const int32_t* first, const int32_t* second, int32_t count, int32_t extra)
{
    return pairRequest(this, 0x80, ch, first, second, count, &extra);
}

int32_t VProtocol_Client::CmdGetOscPoint(int32_t ch, int32_t count)
{
    if (count < 1 || count > maxReadCount)
        return 0;
    return intRequest(this, 'i', 0x03, {ch, count});
}

// ---- program text, program start, controller state ----
int32_t VProtocol_Client::CmdSetTransFileType(int32_t ch, int32_t fileType, const char* fileName, bool query)
{
    FrameWriter w = writerFor(this, 'd', query ? 0x06 : 0x01);
    w.byte(ch).byte(fileTypeByte(fileType)).text(fileName, kNameLimit);
    return w.finishRequest();
}

int32_t VProtocol_Client::CmdAppend(const char* text)
{
    return text ? CmdAppendBytes(text, textLength(text)) : 0;
}

int32_t VProtocol_Client::CmdOverwrite(const char* text)
{
    return text ? CmdOverwriteBytes(text, textLength(text)) : 0;
}

int32_t VProtocol_Client::CmdAppendBytes(const char* data, int32_t length)
{
    if (!data || length < 0 || length > kProgramTextLimit)
        return 0;
    FrameWriter w = writerFor(this, 'd', 0x02);
    w.bytes(reinterpret_cast<const uint8_t*>(data), length);
    return w.finishRequest();
}

int32_t VProtocol_Client::CmdOverwriteBytes(const char* data, int32_t length)
{
    if (!data || length < 0 || length > kProgramTextLimit)
        return 0;
    FrameWriter w = writerFor(this, 'd', 0x03);
    w.bytes(reinterpret_cast<const uint8_t*>(data), length);
    return w.finishRequest();
}

int32_t VProtocol_Client::CmdFileEnd() { return intRequest(this, 'd', 0x04, {}); }

int32_t VProtocol_Client::CmdTransFileState()
{
    const int32_t n = intRequest(this, 'd', 0x05, {});
    // The controller needs a pause before it is asked for the transfer state.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return n;
}

int32_t VProtocol_Client::CmdSetCncType(int32_t type, int32_t ch)
{
    FrameWriter w = writerFor(this, 'd', 0x08);
    w.byte(type).byte(ch);
    return w.finishRequest();
}

int32_t VProtocol_Client::CmdReset(int32_t ch)
{
    FrameWriter w = writerFor(this, 'f', 0x03);
    w.byte(ch);
    return w.finishRequest();
}

int32_t VProtocol_Client::CmdCycStart(int32_t ch, const char* programName)
{
    FrameWriter w = writerFor(this, 'f', 0x04);
    w.byte(ch).text(programName, kNameLimit);
    return w.finishRequest();
}

int32_t VProtocol_Client::CmdF5(int32_t ch, const char* data, int32_t length)
{
    if (length < 0 || (length > 0 && !data))
        return 0;
    FrameWriter w = writerFor(this, 'f', 0x05);
    w.byte(ch).bytes(reinterpret_cast<const uint8_t*>(data), length);
    return w.finishRequest();
}

int32_t VProtocol_Client::CmdGetRuningPrg(int32_t kind, const char* name)
{
    static const uint8_t subByKind[] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x90};
    if (kind < 0 || kind > 5)
        return 0;
    FrameWriter w = writerFor(this, 'g', subByKind[kind]);
    w.text(name, kNameLimit);
    return w.finishRequest();
}

// ---- binary files, file information, error files ----
int32_t VProtocol_Client::CmdBinFileOpen(int32_t number, const QString& fileName)
{
    const QByteArray name = utf8Bytes(fileName);
    FrameWriter w = writerFor(this, 0x83, 0x01);
    w.int32(number).bytes(asBytes(name), name.size());
    return w.finishRequest();
}

int32_t VProtocol_Client::CmdBinFileWrite(const QString& data)
{
    const QByteArray bytes = utf8Bytes(data);
    FrameWriter w = writerFor(this, 0x83, 0x02);
    w.int32(bytes.size()).bytes(asBytes(bytes), bytes.size());
    return w.finishRequest();
}

int32_t VProtocol_Client::CmdBinFileClose() { return intRequest(this, 0x83, 0x03, {}); }

int32_t VProtocol_Client::CmdBinFileReadOpen(int32_t first, int32_t second, const QString& fileName)
{
    for (int32_t value : {first, second}) {
        const uint32_t u = static_cast<uint32_t>(value);
        qCDebug(acmLog).noquote() << "a[0]==" << QString(QChar(char(u & 0xFF))) << "a[1]==" << QString(QChar(char((u >> 8) & 0xFF)))
                           << "a[2]==" << QString(QChar(char((u >> 16) & 0xFF))) << "a[3]==" << QString(QChar(char(u >> 24)));
    }
    const QByteArray name = utf8Bytes(fileName);
    FrameWriter w = writerFor(this, 'e', 0x01);
    w.byte(first).byte(second).bytes(asBytes(name), name.size());
    return w.finishRequest();
}

int32_t VProtocol_Client::CmdBinFileRead() { return intRequest(this, 'e', 0x02, {}); }
int32_t VProtocol_Client::CmdBinFileReRead() { return intRequest(this, 'e', 0x03, {}); }

int32_t VProtocol_Client::CmdGetCncFileInf(const QString& path)
{
    const QByteArray latin = path.toLatin1();
    FrameWriter w = writerFor(this, 0x84, kNoSub);
    w.bytes(asBytes(latin), latin.size());
    return w.finishRequest();
}

int32_t VProtocol_Client::CmdGetCurErrString(int32_t first, int32_t second)
{
    FrameWriter w = writerFor(this, 0x85, 0x01);
    w.byte(first).byte(second);
    return w.finishRequest();
}

int32_t VProtocol_Client::CmdGetCurErrStringData() { return intRequest(this, 0x85, 0x02, {}); }

int32_t VProtocol_Client::CmdGetCncCurrentErrorOpen(const char* fileName)
{
    if (!fileName)
        return 0;
    FrameWriter w = writerFor(this, 'c', 0x01);
    w.text(fileName, kNameLimit);
    return w.finishRequest();
}

int32_t VProtocol_Client::CmdGetCncCurrentErrorRead() { return intRequest(this, 'c', 0x02, {}); }
int32_t VProtocol_Client::CmdGetCncCurrentErrorClose() { return intRequest(this, 'c', 0x03, {}); }
