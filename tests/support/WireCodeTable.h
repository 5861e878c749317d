#pragma once
// The one golden table of request frames: each request builder with ordinary arguments and the
// PDU it must put on the wire (code, sub-code, fields; the framing adds the rest). The codec
// tests pin the bytes, the frame-boundary tests cut every row in every framing, and the fuzzing
// seed maker builds its seeds from the same rows. Header-only (the seed maker links no tests).
#include "Checksum.h"
#include "VProtocol_Client.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <vector>

using Bytes = std::vector<uint8_t>;

inline Bytes le(int32_t v) { return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(uint32_t(v) >> 24)}; }

inline Bytes cat(std::initializer_list<Bytes> parts)
{
    Bytes r;
    for (const Bytes& p : parts)
        r.insert(r.end(), p.begin(), p.end());
    return r;
}

// A PDU framed by hand: TCP header; station address and CRC-16; colon, address and, for a reply,
// LRC and line feed (a colon request ends in CRC-16 like a station one).
inline Bytes framed(int mode, const Bytes& pdu, bool reply = false)
{
    const int n = int(pdu.size()) + 1;
    Bytes f = mode == 0 ? Bytes{0, 0, 0, 0, uint8_t(n), uint8_t(n >> 8), 0} : mode == 1 ? Bytes{0x01} : Bytes{':', 0x01};
    f.insert(f.end(), pdu.begin(), pdu.end());
    if (mode == 2 && reply) {
        f.push_back(Checksum::lrc(f.data() + 1, uint16_t(f.size() - 1)));
        f.push_back(0x0A);
    } else if (mode != 0) {
        const uint16_t crc = Checksum::crc16(f.data(), uint16_t(f.size()));
        f.push_back(uint8_t(crc));
        f.push_back(uint8_t(crc >> 8));
    }
    return f;
}

struct WireRow
{
    const char* name;
    std::function<int32_t(VProtocol_Client&)> build;
    Bytes pdu;              // the request's PDU
    bool fixedLength = true; // false: text or data of open length (serial framings end it by quiet)
};

inline const std::vector<WireRow>& wireRows()
{
    static const int32_t arr[2] = {5, 6};
    static const int32_t arr2[2] = {7, 8};
    static const int32_t addrs[2] = {1110037, 16169999};
    static const int32_t addresses[3] = {1000001, 1000002, 1000003};
    static const int32_t values[3] = {0x0A0A0A0A, 0x3A013A01, -1};
    using C = VProtocol_Client;
    static const std::vector<WireRow> rows = {
        {"jogV_Run", [](C& c) { return c.CmdJogMotionV_Run(1, 2, 300, 1, 0); }, cat({{'r', 1}, le(1), le(2), le(300), le(1), le(0)})},
        {"jogV_Stop", [](C& c) { return c.CmdJogMotionV_Stop(1, 2); }, cat({{'r', 2}, le(1), le(2)})},
        // Axes whose frames hold bytes that end a shorter prefix's check sum.
        {"jogV_Stop axis 4124", [](C& c) { return c.CmdJogMotionV_Stop(1, 4124); }, cat({{'r', 2}, le(1), le(4124)})},
        {"jogV_Stop axis 4014", [](C& c) { return c.CmdJogMotionV_Stop(1, 4014); }, cat({{'r', 2}, le(1), le(4014)})},
        {"jogV_MfoSet", [](C& c) { return c.CmdJogMotionV_MfoSet(1, 100); }, cat({{'r', 3}, le(1), le(100)})},
        {"jogV_AxesStop", [](C& c) { return c.CmdJogMotionV_AxesStop(1, 2, 3); }, cat({{'r', 0x0F}, le(1), le(2), le(3)})},
        {"jogP_Run", [](C& c) { return c.CmdJogMotionP_Run(1, 2, 3, -4, 5, 6); }, cat({{'r', 7}, le(1), le(2), le(3), le(-4), le(5), le(6)})},
        {"jogP_AxesIsStop", [](C& c) { return c.CmdJogMotionP_AxesIsStop(1, 2, 3, 4); }, cat({{'r', 0x0E}, le(1), le(2), le(3), le(4)})},
        {"homeRunAxis", [](C& c) { return c.CmdHomeRunAxis(1, 2); }, cat({{'q', 1}, le(1), le(2)})},
        {"homeAxesIsEnd", [](C& c) { return c.CmdHomeAxesIsEnd(1, 0, 3); }, cat({{'q', 4}, le(1), le(0), le(3)})},
        {"homeAxesIsInProcess", [](C& c) { return c.CmdHomeAxesIsInProcess(2, 3, 4); }, cat({{'q', 6}, le(2), le(3), le(4)})},
        {"mpgAxesSet", [](C& c) { return c.CmdMpgAxesSet(1, 0, 3); }, cat({{'w', 2}, le(1), le(0), le(3)})},
        {"mpgMfoSet", [](C& c) { return c.CmdMpgMfoSet(1, 50); }, cat({{'w', 3}, le(1), le(50)})},
        {"prgCycleStart", [](C& c) { return c.CmdPrgCycleStart(1); }, cat({{'t', 1}, le(1)})},
        {"prgPause", [](C& c) { return c.CmdPrgPause(1, 2, 3); }, cat({{'t', 3}, le(1), le(2), le(3)})},
        {"emStopSet", [](C& c) { return c.CmdEmStopSet(1, 1); }, cat({{'t', 8}, le(1), le(1)})},
        {"alarmRead", [](C& c) { return c.CmdAlarmRead(1); }, cat({{'t', 0x0A}, le(1)})},
        {"getXBit", [](C& c) { return c.CmdGetXBit(1, 'X', 12); }, cat({{'u', 1}, le(1), le('X'), le(12)})},
        {"setXBit", [](C& c) { return c.CmdSetXBit(1, 2, 3, 4, 5); }, cat({{'u', 2}, le(1), le(2), le(3), le(4), le(5)})},
        {"axesMotionStatus", [](C& c) { return c.CmdGetAxesMotionStatus(1, 0, 3); }, cat({{'v', 2}, le(1), le(0), le(3)})},
        {"servoOnAxesGet", [](C& c) { return c.CmdServoOnAxesGet(1, 3); }, cat({{'v', 6}, le(1), le(3)})},
        {"getAxesCoord", [](C& c) { return c.CmdGetAxesCoord(1, 2, 3, 4); }, cat({{'v', 8}, le(1), le(2), le(3), le(4)})},
        {"staticIp", [](C& c) { return c.CmdSetCncStaticIp(192, 168, 1, 10, 255, 0); }, cat({{0x81}, le(192), le(168), le(1), le(10), le(255), le(0)})},
        {"busInit", [](C& c) { return c.CmdBusParameterInit(); }, {0x82, 0x01}},
        {"busAxisParameterRd", [](C& c) { return c.CmdBusAxisParameterRd(1, 2, 3, 4); }, cat({{0x82, 3}, le(1), le(2), le(3), le(4)})},
        {"busAxisParameterWrRd", [](C& c) { return c.CmdBusAxisParameterWrRd(1, 2, 3, 4, 5); }, cat({{0x82, 4}, le(1), le(2), le(3), le(4), le(5)})},
        {"busGetSlvNum", [](C& c) { return c.CmdBusGetSlvNum(); }, {0x82, 0x0B}},
        {"busIsReady", [](C& c) { return c.CmdBusIsReady(); }, {0x82, 0x0C}},
        {"busIsTimeOut", [](C& c) { return c.CmdBusIsTimeOut(); }, {0x82, 0x0D}},
        {"oscAxis", [](C& c) { return c.CmdSetOscAxis(1, 2, 3); }, cat({{'i', 1}, le(1), le(2), le(3)})},
        {"oscTransEn", [](C& c) { return c.CmdSetOscTransEn(1); }, cat({{'i', 2}, le(1)})},
        {"oscPoint", [](C& c) { return c.CmdGetOscPoint(1, 64); }, cat({{'i', 3}, le(1), le(64)})},
        {"watchdog", [](C& c) { return c.CmdCheckTcpWdt(); }, {'p'}},
        {"readCountVars", [](C& c) { return c.CmdReadCountVars(100, 3); }, cat({{'A'}, le(100), le(3)})},
        {"readVars", [](C& c) { return c.CmdReadVars(addrs, 2); }, cat({{'B', 2}, le(1110037), le(16169999)})},
        {"readVars 3", [](C& c) { return c.CmdReadVars(addresses, 3); }, cat({{'B', 3}, le(1000001), le(1000002), le(1000003)})},
        {"writeVars", [](C& c) { return c.CmdWriteVars(addrs, arr, 2); }, cat({{'D', 2}, le(1110037), le(5), le(16169999), le(6)})},
        {"writeVars line feeds", [](C& c) { return c.CmdWriteVars(addresses, values, 3); },
         cat({{'D', 3}, le(1000001), le(values[0]), le(1000002), le(values[1]), le(1000003), le(-1)})},
        {"getIbits", [](C& c) { return c.CmdGetIbits(1, arr, 2); }, cat({{'x'}, le(1), le(2), le(5), le(6)})},
        {"setPlcObits", [](C& c) { return c.CmdSetPlcObits(1, arr, arr2, 2); }, cat({{'y'}, le(1), le(2), le(5), le(7), le(6), le(8)})},
        {"setCncObits", [](C& c) { return c.CmdSetCncObits(1, arr, arr2, 1, 9); }, cat({{0x80}, le(1), le(1), le(9), le(5), le(7)})},
        {"fileType17", [](C& c) { return c.CmdSetTransFileType(1, 17, "O1", false); }, {'d', 1, 1, 0x11, 'O', '1'}, false},
        {"fileType9query", [](C& c) { return c.CmdSetTransFileType(2, 9, "A", true); }, {'d', 6, 2, 0x05, 'A'}, false},
        {"overwrite", [](C& c) { return c.CmdOverwrite("G01 X10\n"); }, {'d', 3, 'G', '0', '1', ' ', 'X', '1', '0', '\n'}, false},
        {"append", [](C& c) { return c.CmdAppend("G01"); }, {'d', 2, 'G', '0', '1'}, false},
        {"fileEnd", [](C& c) { return c.CmdFileEnd(); }, {'d', 4}},
        {"cncType", [](C& c) { return c.CmdSetCncType(3, 1); }, {'d', 8, 3, 1}},
        {"reset", [](C& c) { return c.CmdReset(0x102); }, {'f', 3, 0x02}},
        {"cycStart", [](C& c) { return c.CmdCycStart(1, "P\x80X"); }, {'f', 4, 1, 'P'}, false},
        {"cycStart O1234", [](C& c) { return c.CmdCycStart(1, "O1234"); }, {'f', 4, 1, 'O', '1', '2', '3', '4'}, false},
        {"runningPrg", [](C& c) { return c.CmdGetRuningPrg(4, "\x05"); }, {'g', 5, 5}, false},
        {"runningPrg 1", [](C& c) { return c.CmdGetRuningPrg(4, "\x01"); }, {'g', 5, 1}, false},
        {"binOpen", [](C& c) { return c.CmdBinFileOpen(7, QStringLiteral("ab")); }, cat({{0x83, 1}, le(7), {'a', 'b'}}), false},
        {"binWrite", [](C& c) { return c.CmdBinFileWrite(QStringLiteral("N10 G00\n")); },
         cat({{0x83, 2}, le(8), {'N', '1', '0', ' ', 'G', '0', '0', '\n'}})},
        {"binClose", [](C& c) { return c.CmdBinFileClose(); }, {0x83, 3}},
        {"binReadOpen", [](C& c) { return c.CmdBinFileReadOpen(1, 0, QStringLiteral("P.D")); }, {'e', 1, 1, 0, 'P', '.', 'D'}, false},
        {"binRead", [](C& c) { return c.CmdBinFileRead(); }, {'e', 2}},
        {"fileInf", [](C& c) { return c.CmdGetCncFileInf(QStringLiteral("/a")); }, {0x84, '/', 'a'}, false},
        {"errString", [](C& c) { return c.CmdGetCurErrString(1, 2); }, {0x85, 1, 1, 2}},
        {"errStringData", [](C& c) { return c.CmdGetCurErrStringData(); }, {0x85, 2}},
        {"errOpen", [](C& c) { return c.CmdGetCncCurrentErrorOpen("e"); }, {'c', 1, 'e'}, false},
        {"errRead", [](C& c) { return c.CmdGetCncCurrentErrorRead(); }, {'c', 2}},
        {"errClose", [](C& c) { return c.CmdGetCncCurrentErrorClose(); }, {'c', 3}},
    };
    return rows;
}
