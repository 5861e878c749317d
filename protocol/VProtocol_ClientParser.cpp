#include "VProtocol_Client.h"
#include "LogCategory.h"
#include "Checksum.h"
#include "FrameMode.h"
#include "FrameReader.h"
#include "ParseStatus.h"
#include <QDebug>
#include <QVector>

namespace {

// Fixed number of int32 values from offset; empty when they do not all lie inside the frame.
bool readValues(const FrameReader& r, int offset, int count, QVector<int32_t>& out)
{
    if (count <= 0) {
        out.clear();
        return true;
    }
    if (!r.has(offset, 4 * count))
        return false;
    out.resize(count);
    for (int i = 0; i < count; ++i)
        out[i] = r.int32At(offset + 4 * i);
    return true;
}

// Text from offset to the first NUL or the frame's end, always NUL-terminated.
QByteArray textFrom(const FrameReader& r, int offset)
{
    QByteArray t = r.tail(offset);
    const int nul = t.indexOf('\0');
    return nul >= 0 ? t.left(nul) : t;
}

}

int32_t VProtocol_Client::analysisReciveBuffer(int32_t n)
{
    const int h = headerLen;
    if (!recvBuf || n <= h || n > kFrameBufferSize)
        return TooShort;
    const uint8_t* b = recvBuf;
    if (frameMode == FrameSerialStation) {
        if (n <= 2)
            return TooShort;
        const uint16_t crc = Checksum::crc16(b, static_cast<uint16_t>(n - 2));
        if (crc != (b[n - 2] | b[n - 1] << 8))
            return BadChecksum;
    } else if (frameMode == FrameSerialColon) {
        if (n <= 2)
            return TooShort;
        const uint8_t lrc = Checksum::lrc(b + 1, static_cast<uint16_t>(n - 3));
        if (lrc != b[n - 2]) {
            qCDebug(acmLog) << "analysisReciveBuffer" << "calLrc==" << unsigned(lrc) << "recLrc==" << unsigned(b[n - 2])
                     << "recDataSize==" << n;
            return BadChecksum;
        }
    }

    const FrameReader r(b, n, frameMode);
    if (!r.has(h, 1))
        return TooShort;
    const uint8_t code = r.byteAt(h);
    const bool hasSub = r.has(h + 1, 1);
    const int sub = r.byteAt(h + 1);
    QVector<int32_t> v;
    auto status = [&](int offset, int32_t& s) {
        if (!r.has(offset, 1))
            return false;
        s = r.signedByteAt(offset);
        return true;
    };
    int32_t s = 0;

    switch (code) {
    case 'A':
    case 'B': {
        if (!r.has(h + 1, 1))
            return TooShort;
        const int count = r.signedByteAt(h + 1);
        if (!readValues(r, h + 2, count, v))
            return TooShort;
        onRecCmdReadVars(0, v.isEmpty() ? nullptr : v.constData(), count > 0 ? count : 0);
        replyStatus = 0;
        return Handled;
    }
    case 0xC2:
        onRecCmdReadVars(1, nullptr, 0);
        replyStatus = 1;
        return ReadVarsError;
    case 'D':
        onRecCmdWriteVars(0);
        replyStatus = 0;
        return Handled;
    case 0xC4:
        onRecCmdWriteVars(1);
        replyStatus = 1;
        return WriteVarsError;
    case 0xE4:
        return FileError;
    case 0xE6:
        return StartError;
    case 'p':
        if (!status(h + 1, s))
            return TooShort;
        onRecCmdCheckTcpWdt(s);
        return Handled;
    case 'x':
        if (!status(h + 1, s) || !readValues(r, h + 2, 2, v))
            return TooShort;
        onRecCmdValues(s, 2, v.constData());
        return Handled;
    case 'y':
    case 0x80:
    case 0x81:
        if (!status(h + 1, s))
            return TooShort;
        onRecCmdStatus(s);
        return Handled;
    case 0x84: {
        if (!status(h + 1, s))
            return TooShort;
        const QByteArray text = textFrom(r, h + 2);
        onRecCmdGetCncFileInf(s, text.constData());
        return Handled;
    }
    default:
        break;
    }

    // Every remaining known code carries a sub-code.
    switch (code) {
    case 'c': case 'd': case 'e': case 'f': case 'g': case 'i': case 'q': case 'r': case 's':
    case 't': case 'u': case 'v': case 'w': case 0x82: case 0x83: case 0x85:
        if (!hasSub)
            return TooShort;
        break;
    default:
        onRecCmdUnknown();
        return TooShort;
    }

    // Status at h + 2, then a fixed number of values from h + 3.
    auto statusValues = [&](int count) { return status(h + 2, s) && readValues(r, h + 3, count, v); };

    switch (code) {
    case 'c':
        if (sub == 1 || sub == 3) {
            if (!status(h + 2, s))
                return TooShort;
            sub == 1 ? onRecCmdOpenReadFile(s) : onRecCmdCloseReadFile(s);
        } else if (sub == 2) {
            if (!r.has(h + 2, 1))
                return TooShort;
            // The handler checks the count against the frame's length in TCP terms.
            onRecCmdReadFile(b + h + 2, tcpFrameLength(frameMode, n));
        }
        return Handled;
    case 'd': {
        const int at = (sub == 1 || sub == 6) ? h + 4 : h + 2;
        if (sub == 4) {
            onReciveCmdFileEnd(0);
            replyStatus = 0;
            return Handled;
        }
        if (sub < 1 || sub > 8 || sub == 7)
            return TooShort;
        if (!status(at, s))
            return TooShort;
        switch (sub) {
        case 1: onReciveCmdSetFileInf(s); break;
        case 2: onReciveCmdAppendTxt(s); break;
        case 3: onReciveCmdOverWriteTxt(s); break;
        case 5: onReciveCmdTransFileState(s); break;
        case 6: onReciveCmdGetFileTransState(s); break;
        case 8: onReciveCmdFileEnd(s); return Handled;
        }
        replyStatus = s;
        if (sub == 5 && s == 1)
            return TransferState1;
        if (sub == 5 && s == 2)
            return TransferState2;
        return Handled;
    }
    case 'e': {
        static const char* const labels[] = {"readbinOpen==", "redbinRead111==", "redbinReRead222==", "redbinLaseRead333=="};
        if (sub >= 1 && sub <= 4)
            qCDebug(acmLog).noquote() << labels[sub - 1] << ('"' + QString::fromLatin1(r.tail(h + 2).toHex()) + '"');
        return Handled;
    }
    case 'f':
        if (sub < 3 || sub > 5)
            return Handled;
        if (!status(h + 3, s))
            return TooShort;
        if (sub == 3)
            onReciveCmdReset(s);
        else if (sub == 4)
            onReciveCmdCycStart(s);
        else
            onReciveCmdF5(s);
        replyStatus = s;
        return Handled;
    case 'g': {
        const int kind = (sub >= 1 && sub <= 5) ? sub - 1 : sub == 0xF0 ? 5 : -1;
        if (kind < 0)
            return Handled;
        const QByteArray text = textFrom(r, h + 2);
        onRecCmdGetCncString(kind, text.constData());
        return Handled;
    }
    case 'i':
        if (sub == 1 || sub == 2) {
            if (!status(h + 2, s))
                return TooShort;
            sub == 1 ? onRecCmdSetOscAxis(s) : onRecCmdSetOscTransEn(s);
        } else if (sub == 3) {
            if (!status(h + 2, s) || !r.has(h + 3, 1))
                return TooShort;
            const int count = r.signedByteAt(h + 3);
            if (!readValues(r, h + 4, count, v))
                return TooShort;
            onRecCmdGetOscPoint(s, count > 0 ? count : 0, v.isEmpty() ? nullptr : v.constData());
        }
        return Handled;
    case 'q':
        if (sub == 1) {
            if (!status(h + 2, s))
                return TooShort;
            onRecCmdHomeRunAxis(s);
        } else if (sub >= 2 && sub <= 6) {
            const int count = (sub % 2 == 0) ? 2 : 1;
            if (!statusValues(count))
                return TooShort;
            onRecCmdHomeAxes(s, count, v.constData());
        }
        return Handled;
    case 'r':
        if (sub < 1 || sub > 15)
            return Handled;
        if (sub == 10) {
            if (!statusValues(1))
                return TooShort;
            onRecCmdJogMotionP_IsStop(s, v.constData());
            return Handled;
        }
        if (sub == 14) {
            if (!statusValues(2))
                return TooShort;
            onRecCmdValues(s, 2, v.constData());
            return Handled;
        }
        if (!status(h + 2, s))
            return TooShort;
        switch (sub) {
        case 1: onRecCmdJogMotionV_Run(s); break;
        case 2: onRecCmdJogMotionV_Stop(s); break;
        case 3: case 4: case 5: case 6: onRecCmdJogMotionV_MfoSet(s); break;
        case 7: onRecCmdJogMotionP_Run(s); break;
        case 8: case 11: onRecCmdJogMotionP_Stop(s); break;
        default: onRecCmdJogMotionP_MfoSet(s); break; // 9, 12, 13, 15
        }
        return Handled;
    case 's':
        if (sub == 1 || sub == 2) {
            if (!statusValues(sub))
                return TooShort;
            onRecCmdValues(s, sub, v.constData());
        } else if (sub == 3 || sub == 4) {
            if (!status(h + 2, s))
                return TooShort;
            onRecCmdStatusS(s);
        }
        return Handled;
    case 't':
        if (sub >= 1 && sub <= 9) {
            if (!status(h + 2, s))
                return TooShort;
            onRecCmdStatus(s);
        } else if (sub == 10) {
            if (!statusValues(3))
                return TooShort;
            onRecCmdAlarmRead(s, 3, v.constData());
        }
        return Handled;
    case 'u':
        if (sub == 1) {
            if (!statusValues(1))
                return TooShort;
            onRecCmdValues(s, 1, v.constData());
        } else if (sub == 2) {
            if (!status(h + 2, s))
                return TooShort;
            onRecCmdStatus(s);
        }
        return Handled;
    case 'v':
        if (sub == 1 || sub == 5 || sub == 7 || sub == 2 || sub == 6) {
            const int count = (sub == 2 || sub == 6) ? 2 : 1;
            if (!statusValues(count))
                return TooShort;
            onRecCmdValues(s, count, v.constData());
        } else if (sub == 3 || sub == 4) {
            if (!status(h + 2, s))
                return TooShort;
            onRecCmdStatus(s);
        } else if (sub == 8) {
            if (!status(h + 2, s) || !r.has(h + 3, 1))
                return TooShort;
            const int count = r.signedByteAt(h + 3);
            if (!readValues(r, h + 4, count, v))
                return TooShort;
            onRecCmdGetAxesCoord(s, count, v.isEmpty() ? nullptr : v.constData());
        }
        return Handled;
    case 'w':
        if (sub >= 1 && sub <= 3) {
            if (!status(h + 2, s))
                return TooShort;
            onRecCmdStatus(s);
        }
        return Handled;
    case 0x82:
        if (sub == 3 || sub == 4 || sub == 11) {
            // The value's first byte doubles as the status byte.
            if (!readValues(r, h + 2, 1, v))
                return TooShort;
            onRecCmdValues(r.signedByteAt(h + 2), 1, v.constData());
        } else if (sub >= 1 && sub <= 13) {
            if (!status(h + 2, s))
                return TooShort;
            onRecCmdStatus(s);
        }
        return Handled;
    case 0x83:
        if (sub >= 1 && sub <= 3) {
            if (!status(h + 2, s))
                return TooShort;
            onRecCmdBinFile(s);
        }
        return Handled;
    case 0x85:
        if (sub == 1) {
            if (!status(h + 2, s))
                return TooShort;
            onRecCmdErrorInf(s, r.tail(h + 3));
        } else if (sub == 2 || sub == 3) {
            onRecCmdErrorData(r.tail(h + 2));
        }
        return Handled;
    }
    return Handled;
}
