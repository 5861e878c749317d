#include "CodecFixture.h"
#include "AddressDatagram.h"
#include "Checksum.h"
#include "VProtocol_Client.h"
#include "WireCodeTable.h"
#include <gtest/gtest.h>
#include <string>
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

TEST(RequestFrame, EveryBuilderInEveryFraming)
{
    for (int mode = 0; mode < 3; ++mode) {
        for (const WireRow& row : wireRows()) {
            Codec c(mode);
            EXPECT_EQ(c.frame(row.build(c)), framed(mode, row.pdu)) << row.name << " mode " << mode;
        }
    }
}

// The address datagram: its two lead-in bytes, then the text; the simulator reads it with the
// same parser, so only these literal bytes pin the lead-in.
TEST(RequestFrame, AddressDatagramIsLeadInAndText)
{
    EXPECT_EQ(AddressDatagram::build("10.1.2.3"), QByteArray("h\x01" "10.1.2.3", 10));
    EXPECT_TRUE(AddressDatagram::build(std::string(AddressDatagram::kMaxTextLength + 1, '1').c_str()).isEmpty());
    EXPECT_TRUE(AddressDatagram::build(nullptr).isEmpty());
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
