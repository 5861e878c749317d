// Program text travels as 7-bit bytes: the overwrite and append requests carry the text up to
// its first byte that is 0 or has the top bit set, and their size limit counts only those bytes.
#include "CodecFixture.h"
#include <gtest/gtest.h>
#include <string>

namespace {

const Bytes kTcpHeadOf4 = {0, 0, 0, 0, 0x05, 0x00, 0x00};

Bytes tcp(const Bytes& pdu)
{
    Bytes f = {0, 0, 0, 0, uint8_t(pdu.size() + 1), uint8_t((pdu.size() + 1) >> 8), 0};
    f.insert(f.end(), pdu.begin(), pdu.end());
    return f;
}

TEST(ProgramTextFrame, TextStopsAtTheFirstByteWithTheTopBitSet)
{
    Codec c;
    EXPECT_EQ(c.frame(c.CmdOverwrite("AB\xFF" "CD")), cat({kTcpHeadOf4, {0x64, 0x03, 0x41, 0x42}}));
    EXPECT_EQ(c.frame(c.CmdAppend("AB\xFF" "CD")), cat({kTcpHeadOf4, {0x64, 0x02, 0x41, 0x42}}));
    EXPECT_EQ(c.frame(c.CmdAppend("G1\x80")), tcp({'d', 2, 'G', '1'}));
    EXPECT_EQ(c.frame(c.CmdOverwrite("\x80" "G1")), tcp({'d', 3})) << "a text that starts with a high byte is empty";
    EXPECT_EQ(c.frame(c.CmdOverwrite("")), tcp({'d', 3}));
}

TEST(ProgramTextFrame, SizeLimitCountsOnlyTheBytesSent)
{
    Codec c;
    const std::string full(480, 'N');
    // 480 bytes go, whatever follows the byte that ends the text.
    const std::string cut = full + "\xC3\xA4" + std::string(100, 'X');
    Bytes expected = {'d', 3};
    expected.insert(expected.end(), full.begin(), full.end());
    EXPECT_EQ(c.frame(c.CmdOverwrite(cut.c_str())), tcp(expected));
    expected[1] = 2;
    EXPECT_EQ(c.frame(c.CmdAppend(cut.c_str())), tcp(expected));
    // One 7-bit byte more is too long.
    const std::string tooLong = full + "N\xFF";
    EXPECT_EQ(c.CmdOverwrite(tooLong.c_str()), 0);
    EXPECT_EQ(c.CmdAppend(tooLong.c_str()), 0);
}

TEST(ProgramTextFrame, SerialFramingsCarryTheSameCutText)
{
    for (int mode = 1; mode <= 2; ++mode) {
        Codec c(mode);
        const int32_t n = c.CmdAppend("X\x90Y");
        const int h = mode == 1 ? 1 : 2;
        ASSERT_EQ(n, h + 3 + 2) << mode; // code, sub-code, 'X', CRC
        EXPECT_EQ(c.frame(n)[h + 2], 'X') << mode;
    }
}

} // namespace
