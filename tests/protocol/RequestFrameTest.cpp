#include "CodecFixture.h"
#include "AddressDatagram.h"
#include "Checksum.h"
#include "VProtocol_Client.h"
#include "WireCodeTable.h"
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

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

const std::string kText480(480, 'N');
// 480 7-bit bytes, then a byte that ends the text and more that must not go.
const std::string kCutText = kText480 + "\xC3\xA4" + std::string(100, 'X');
Bytes dText(uint8_t sub, const std::string& text) { return cat({{'d', sub}, Bytes(text.begin(), text.end())}); }

// Texts beside the shared table: file requests carry UTF-8 bytes, counted; program text stops at
// its first byte that is 0 or has the top bit set, and its size limit counts only what goes.
const std::vector<WireRow> kTextRows = {
    {"binOpen utf-8", [](VProtocol_Client& c) { return c.CmdBinFileOpen(3, QString::fromUtf8("aé")); }, cat({{0x83, 1}, le(3), {'a', 0xC3, 0xA9}})},
    {"binWrite utf-8", [](VProtocol_Client& c) { return c.CmdBinFileWrite(QString::fromUtf8("é€")); }, cat({{0x83, 2}, le(5), {0xC3, 0xA9, 0xE2, 0x82, 0xAC}})},
    {"binWrite outside the BMP", [](VProtocol_Client& c) { return c.CmdBinFileWrite(QString::fromUtf8("\xF0\x9F\x98\x80!")); }, cat({{0x83, 2}, le(5), {0xF0, 0x9F, 0x98, 0x80, '!'}})},
    {"binWrite empty", [](VProtocol_Client& c) { return c.CmdBinFileWrite(QString()); }, cat({{0x83, 2}, le(0)})},
    {"binReadOpen utf-8", [](VProtocol_Client& c) { return c.CmdBinFileReadOpen(0x102, 2, QString::fromUtf8("ü")); }, {'e', 1, 0x02, 0x02, 0xC3, 0xBC}},
    {"overwrite top bit", [](VProtocol_Client& c) { return c.CmdOverwrite("AB\xFF" "CD"); }, {'d', 3, 'A', 'B'}},
    {"append top bit", [](VProtocol_Client& c) { return c.CmdAppend("AB\xFF" "CD"); }, {'d', 2, 'A', 'B'}},
    {"overwrite high first byte", [](VProtocol_Client& c) { return c.CmdOverwrite("\x80" "G1"); }, {'d', 3}},
    {"overwrite empty", [](VProtocol_Client& c) { return c.CmdOverwrite(""); }, {'d', 3}},
    {"overwrite 480 then cut", [](VProtocol_Client& c) { return c.CmdOverwrite(kCutText.c_str()); }, dText(3, kText480)},
    {"append 480 then cut", [](VProtocol_Client& c) { return c.CmdAppend(kCutText.c_str()); }, dText(2, kText480)},
};

TEST(RequestFrame, EveryBuilderInEveryFraming)
{
    for (int mode = 0; mode < 3; ++mode) {
        for (const std::vector<WireRow>* rows : {&wireRows(), &kTextRows}) {
            for (const WireRow& row : *rows) {
                Codec c(mode);
                EXPECT_EQ(c.frame(row.build(c)), framed(mode, row.pdu)) << row.name << " mode " << mode;
            }
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

// Arguments a request cannot carry give 0 (nothing to send), never a truncated frame; the
// largest that fit give their whole length.
TEST(RequestFrame, RejectedArgumentsGiveZero)
{
    static std::vector<int32_t> many(200, 1000);
    static const int32_t bad = 170000, good = 16169999;
    static const std::string tooLong = kText480 + "N\xFF", longName(150, 'N');
    struct LimitRow
    {
        const char* name;
        std::function<int32_t(VProtocol_Client&)> build;
        int32_t length;
    };
    const std::vector<LimitRow> rows = {
        {"readVars 65", [](VProtocol_Client& c) { return c.CmdReadVars(many.data(), 65); }, 0},
        {"readVars 0", [](VProtocol_Client& c) { return c.CmdReadVars(many.data(), 0); }, 0},
        {"readVars null", [](VProtocol_Client& c) { return c.CmdReadVars(nullptr, 1); }, 0},
        {"readVars bad address", [](VProtocol_Client& c) { return c.CmdReadVars(&bad, 1); }, 0},
        {"readVars top address", [](VProtocol_Client& c) { return c.CmdReadVars(&good, 1); }, 7 + 2 + 4},
        {"writeVars 32", [](VProtocol_Client& c) { return c.CmdWriteVars(many.data(), many.data(), 32); }, 0},
        {"writeVars 31", [](VProtocol_Client& c) { return c.CmdWriteVars(many.data(), many.data(), 31); }, 257},
        {"getIbits 122", [](VProtocol_Client& c) { return c.CmdGetIbits(1, many.data(), 122); }, 0},
        {"getIbits 121", [](VProtocol_Client& c) { return c.CmdGetIbits(1, many.data(), 121); }, 7 + 1 + 8 + 484},
        {"getIbits -1", [](VProtocol_Client& c) { return c.CmdGetIbits(1, many.data(), -1); }, 0},
        {"setPlcObits 61", [](VProtocol_Client& c) { return c.CmdSetPlcObits(1, many.data(), many.data(), 61); }, 0},
        {"oscPoint 65", [](VProtocol_Client& c) { return c.CmdGetOscPoint(1, 65); }, 0},
        {"append null", [](VProtocol_Client& c) { return c.CmdAppend(nullptr); }, 0},
        {"overwrite 481", [](VProtocol_Client& c) { return c.CmdOverwrite(tooLong.c_str()); }, 0},
        {"append 481", [](VProtocol_Client& c) { return c.CmdAppend(tooLong.c_str()); }, 0},
        {"overwrite 480", [](VProtocol_Client& c) { return c.CmdOverwrite(kText480.c_str()); }, 7 + 2 + 480},
        {"cycStart long name", [](VProtocol_Client& c) { return c.CmdCycStart(1, longName.c_str()); }, 7 + 3 + 100},
        {"binWrite 487", [](VProtocol_Client& c) { return c.CmdBinFileWrite(QString(487, QChar('a'))); }, 500},
        {"binWrite 488", [](VProtocol_Client& c) { return c.CmdBinFileWrite(QString(488, QChar('a'))); }, 0},
        {"binWrite 488 bytes", [](VProtocol_Client& c) { return c.CmdBinFileWrite(QString::fromUtf8("é").repeated(244)); }, 0},
        {"binOpen 488 bytes", [](VProtocol_Client& c) { return c.CmdBinFileOpen(1, QString::fromUtf8("é").repeated(244)); }, 0},
    };
    for (const LimitRow& row : rows) {
        Codec c;
        EXPECT_EQ(row.build(c), row.length) << row.name;
    }
    Codec unbuffered;
    unbuffered.sendBuf = nullptr;
    EXPECT_EQ(unbuffered.CmdPrgStop(1), 0);
}

}
