// The decoded reply handed to the reply callbacks.
#include "VProtocol_Client.h"
#include "LogCategory.h"
#include "FrameMode.h"
#include <QDebug>

using CommandTable::Msg;

namespace {
const int32_t* valuesOf(const CommandCodec::Reply& r) { return r.values.isEmpty() ? nullptr : r.values.constData(); }
}

int32_t VProtocol_Client::analysisReciveBuffer(int32_t n)
{
    const CommandCodec::Reply r = CommandCodec::decode(recvBuf, n, frameMode);
    if (r.message)
        dispatch(r, n);
    return r.status;
}

void VProtocol_Client::dispatch(const CommandCodec::Reply& r, int32_t n)
{
    const int32_t s = r.state;
    switch (r.message->id) {
    case Msg::ReadCount: case Msg::ReadVars: replyStatus = 0; return onRecCmdReadVars(0, valuesOf(r), r.values.size());
    case Msg::ReadRefused: replyStatus = 1; return onRecCmdReadVars(1, nullptr, 0);
    case Msg::WriteVars: replyStatus = 0; return onRecCmdWriteVars(0);
    case Msg::WriteRefused: replyStatus = 1; return onRecCmdWriteVars(1);
    case Msg::Watchdog: return onRecCmdCheckTcpWdt(s);
    case Msg::FileInfo: return onRecCmdGetCncFileInf(s, r.bytes.constData());
    case Msg::ErrorFileOpen: return onRecCmdOpenReadFile(s);
    case Msg::ErrorFileClose: return onRecCmdCloseReadFile(s);
    case Msg::ErrorFileRead: return onRecCmdReadFile(recvBuf + headerLen + 2, tcpFrameLength(frameMode, n));
    case Msg::Declare: replyStatus = s; return onReciveCmdSetFileInf(s);
    case Msg::Append: replyStatus = s; return onReciveCmdAppendTxt(s);
    case Msg::Overwrite: replyStatus = s; return onReciveCmdOverWriteTxt(s);
    case Msg::TransferState: replyStatus = s; return onReciveCmdTransFileState(s);
    case Msg::DeclareQuery: replyStatus = s; return onReciveCmdGetFileTransState(s);
    case Msg::FileEnd: replyStatus = 0; return onReciveCmdFileEnd(0);
    case Msg::CncType: return onReciveCmdFileEnd(s);
    case Msg::Reset: replyStatus = s; return onReciveCmdReset(s);
    case Msg::CycleStart: replyStatus = s; return onReciveCmdCycStart(s);
    case Msg::OscAxis: return onRecCmdSetOscAxis(s);
    case Msg::OscTransfer: return onRecCmdSetOscTransEn(s);
    case Msg::OscPoints: return onRecCmdGetOscPoint(s, r.values.size(), valuesOf(r));
    case Msg::AxesCoord: return onRecCmdGetAxesCoord(s, r.values.size(), valuesOf(r));
    case Msg::AlarmRead: return onRecCmdAlarmRead(s, r.values.size(), valuesOf(r));
    case Msg::BinOpen: case Msg::BinWrite: case Msg::BinClose: return onRecCmdBinFile(s);
    case Msg::ErrorTextHead: return onRecCmdErrorInf(s, r.bytes);
    case Msg::ErrorTextData: case Msg::ErrorTextLast: return onRecCmdErrorData(r.bytes);
    case Msg::Unknown: return onRecCmdUnknown();
    default: break;
    }
    dispatchOthers(r);
}

void VProtocol_Client::dispatchOthers(const CommandCodec::Reply& r)
{
    const Msg id = r.message->id;
    if (id >= Msg::RunningKind0 && id <= Msg::RunningKind5)
        return onRecCmdGetCncString(int(id) - int(Msg::RunningKind0), r.bytes.constData());
    if (id >= Msg::BinReadOpen && id <= Msg::BinReadLast) {
        qCDebug(acmLog).noquote() << r.message->name << ('"' + QString::fromLatin1(r.bytes.toHex()) + '"');
        return;
    }
    if (id == Msg::FileRefused || id == Msg::StartRefused)
        return;
    // Every other row is a machine command: its state, and the values of a good reply.
    if (r.values.isEmpty())
        return onRecCmdStatus(r.state);
    onRecCmdValues(r.state, r.values.size(), r.values.constData());
}
