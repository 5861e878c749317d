#include "ByteHelpers.h"
#include "CodecFixture.h"
#include "Checksum.h"
#include "VProtocol_Client.h"
#include <gtest/gtest.h>
#include <functional>
#include <vector>

namespace {



// Wraps a PDU the way each framing must.
Bytes framed(int mode, const Bytes& pdu)
{
    Bytes f;
    if (mode == 0) {
        const int n = int(pdu.size()) + 7;
        f = {0, 0, 0, 0, uint8_t(n - 6), uint8_t((n - 6) >> 8), 0};
    } else if (mode == 1) {
        f = {0x01};
    } else {
        f = {':', 0x01};
    }
    f.insert(f.end(), pdu.begin(), pdu.end());
    if (mode != 0) {
        const uint16_t crc = Checksum::crc16(f.data(), uint16_t(f.size()));
        f.push_back(uint8_t(crc));
        f.push_back(uint8_t(crc >> 8));
    }
    return f;
}

TEST(RequestFrame, WorkedExampleInAllFramings)
{
    const Bytes expected[3] = {
        {0x00, 0x00, 0x00, 0x00, 0x07, 0x00, 0x00, 0x74, 0x01, 0x01, 0x00, 0x00, 0x00},
        {0x01, 0x74, 0x01, 0x01, 0x00, 0x00, 0x00, 0x3D, 0x48},
        {0x3A, 0x01, 0x74, 0x01, 0x01, 0x00, 0x00, 0x00, 0xE5, 0x28},
    };
    for (int mode = 0; mode < 3; ++mode) {
        Codec c(mode);
        EXPECT_EQ(c.frame(c.CmdPrgCycleStart(1)), expected[mode]) << "mode " << mode;
    }
    EXPECT_EQ(Checksum::crc16(nullptr, 0), 0xFFFF);
    EXPECT_EQ(Checksum::lrc(nullptr, 0), 0);
}

struct BuilderCase {
    const char* name;
    std::function<int32_t(Codec&)> build;
    Bytes pdu;
};

TEST(RequestFrame, EveryBuilderInEveryFraming)
{
    const int32_t arr[2] = {5, 6};
    const int32_t arr2[2] = {7, 8};
    const int32_t addrs[2] = {1110037, 16169999};
    const std::vector<BuilderCase> cases = {
        {"jogV_Run", [](Codec& c) { return c.CmdJogMotionV_Run(1, 2, 300, 1, 0); }, cat({{'r', 1}, le(1), le(2), le(300), le(1), le(0)})},
        {"jogV_Stop", [](Codec& c) { return c.CmdJogMotionV_Stop(1, 2); }, cat({{'r', 2}, le(1), le(2)})},
        {"jogV_AxesStop", [](Codec& c) { return c.CmdJogMotionV_AxesStop(1, 2, 3); }, cat({{'r', 0x0F}, le(1), le(2), le(3)})},
        {"jogP_Run", [](Codec& c) { return c.CmdJogMotionP_Run(1, 2, 3, -4, 5, 6); }, cat({{'r', 7}, le(1), le(2), le(3), le(-4), le(5), le(6)})},
        {"jogP_AxesIsStop", [](Codec& c) { return c.CmdJogMotionP_AxesIsStop(1, 2, 3, 4); }, cat({{'r', 0x0E}, le(1), le(2), le(3), le(4)})},
        {"homeAxesIsInProcess", [](Codec& c) { return c.CmdHomeAxesIsInProcess(2, 3, 4); }, cat({{'q', 6}, le(2), le(3), le(4)})},
        {"mpgMfoSet", [](Codec& c) { return c.CmdMpgMfoSet(1, 50); }, cat({{'w', 3}, le(1), le(50)})},
        {"prgPause", [](Codec& c) { return c.CmdPrgPause(1, 2, 3); }, cat({{'t', 3}, le(1), le(2), le(3)})},
        {"alarmRead", [](Codec& c) { return c.CmdAlarmRead(1); }, cat({{'t', 0x0A}, le(1)})},
        {"setXBit", [](Codec& c) { return c.CmdSetXBit(1, 2, 3, 4, 5); }, cat({{'u', 2}, le(1), le(2), le(3), le(4), le(5)})},
        {"getAxesCoord", [](Codec& c) { return c.CmdGetAxesCoord(1, 2, 3, 4); }, cat({{'v', 8}, le(1), le(2), le(3), le(4)})},
        {"staticIp", [](Codec& c) { return c.CmdSetCncStaticIp(1, 2, 3, 4, 5, 6); }, cat({{0x81}, le(1), le(2), le(3), le(4), le(5), le(6)})},
        {"busInit", [](Codec& c) { return c.CmdBusParameterInit(); }, {0x82, 0x01}},
        {"busIsTimeOut", [](Codec& c) { return c.CmdBusIsTimeOut(); }, {0x82, 0x0D}},
        {"oscAxis", [](Codec& c) { return c.CmdSetOscAxis(1, 2, 3); }, cat({{'i', 1}, le(1), le(2), le(3)})},
        {"watchdog", [](Codec& c) { return c.CmdCheckTcpWdt(); }, {'p'}},
        {"readCountVars", [](Codec& c) { return c.CmdReadCountVars(100, 3); }, cat({{'A'}, le(100), le(3)})},
        {"readVars", [&](Codec& c) { return c.CmdReadVars(addrs, 2); }, cat({{'B', 2}, le(1110037), le(16169999)})},
        {"writeVars", [&](Codec& c) { return c.CmdWriteVars(addrs, arr, 2); }, cat({{'D', 2}, le(1110037), le(5), le(16169999), le(6)})},
        {"getIbits", [&](Codec& c) { return c.CmdGetIbits(1, arr, 2); }, cat({{'x'}, le(1), le(2), le(5), le(6)})},
        {"setPlcObits", [&](Codec& c) { return c.CmdSetPlcObits(1, arr, arr2, 2); }, cat({{'y'}, le(1), le(2), le(5), le(7), le(6), le(8)})},
        {"setCncObits", [&](Codec& c) { return c.CmdSetCncObits(1, arr, arr2, 1, 9); }, cat({{0x80}, le(1), le(1), le(9), le(5), le(7)})},
        {"oscPoint", [](Codec& c) { return c.CmdGetOscPoint(1, 64); }, cat({{'i', 3}, le(1), le(64)})},
        {"fileType17", [](Codec& c) { return c.CmdSetTransFileType(1, 17, "O1", false); }, {'d', 1, 1, 0x11, 'O', '1'}},
        {"fileType9query", [](Codec& c) { return c.CmdSetTransFileType(2, 9, "A", true); }, {'d', 6, 2, 0x05, 'A'}},
        {"append", [](Codec& c) { return c.CmdAppend("G01"); }, {'d', 2, 'G', '0', '1'}},
        {"fileEnd", [](Codec& c) { return c.CmdFileEnd(); }, {'d', 4}},
        {"cncType", [](Codec& c) { return c.CmdSetCncType(3, 1); }, {'d', 8, 3, 1}},
        {"reset", [](Codec& c) { return c.CmdReset(0x102); }, {'f', 3, 0x02}},
        {"cycStart", [](Codec& c) { return c.CmdCycStart(1, "P\x80X"); }, {'f', 4, 1, 'P'}},
        {"runningPrg", [](Codec& c) { return c.CmdGetRuningPrg(4, "\x05"); }, {'g', 5, 5}},
        {"binOpen", [](Codec& c) { return c.CmdBinFileOpen(7, "ab"); }, cat({{0x83, 1}, le(7), {'a', 'b'}})},
        {"binWrite", [](Codec& c) { return c.CmdBinFileWrite("xyz"); }, cat({{0x83, 2}, le(3), {'x', 'y', 'z'}})},
        {"fileInf", [](Codec& c) { return c.CmdGetCncFileInf("/a"); }, {0x84, '/', 'a'}},
        {"errOpen", [](Codec& c) { return c.CmdGetCncCurrentErrorOpen("e"); }, {'c', 1, 'e'}},
    };
    for (int mode = 0; mode < 3; ++mode) {
        for (const BuilderCase& bc : cases) {
            Codec c(mode);
            EXPECT_EQ(c.frame(bc.build(c)), framed(mode, bc.pdu)) << bc.name << " mode " << mode;
        }
    }
}

TEST(RequestFrame, RejectedArgumentsGiveZero)
{
    Codec c;
    std::vector<int32_t> many(200, 1000);
    EXPECT_EQ(c.CmdReadVars(many.data(), 65), 0);
    EXPECT_EQ(c.CmdReadVars(many.data(), 0), 0);
    EXPECT_EQ(c.CmdReadVars(nullptr, 1), 0);
    const int32_t bad = 170000, good = 16169999;
    EXPECT_EQ(c.CmdReadVars(&bad, 1), 0);
    EXPECT_GT(c.CmdReadVars(&good, 1), 0);
    EXPECT_EQ(c.CmdWriteVars(many.data(), many.data(), 32), 0);
    EXPECT_EQ(c.CmdWriteVars(many.data(), many.data(), 31), 257);
    // Counts that no longer fit the 500-byte buffer are rejected, never truncated.
    EXPECT_EQ(c.CmdGetIbits(1, many.data(), 122), 0);
    EXPECT_EQ(c.CmdGetIbits(1, many.data(), 121), 7 + 1 + 8 + 484);
    EXPECT_EQ(c.CmdSetPlcObits(1, many.data(), many.data(), 61), 0);
    EXPECT_EQ(c.CmdGetIbits(1, many.data(), -1), 0);
    EXPECT_EQ(c.CmdGetOscPoint(1, 65), 0);
    EXPECT_EQ(c.CmdAppend(nullptr), 0);
    const std::string text481(481, 'G');
    EXPECT_EQ(c.CmdOverwrite(text481.c_str()), 0);
    EXPECT_EQ(c.CmdOverwrite(text481.substr(1).c_str()), 7 + 2 + 480);
    const std::string longName(150, 'N');
    EXPECT_EQ(c.CmdCycStart(1, longName.c_str()), 7 + 3 + 100);
    Codec unbuffered;
    unbuffered.sendBuf = nullptr;
    EXPECT_EQ(unbuffered.CmdPrgStop(1), 0);
}


}
