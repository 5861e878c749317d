// Binary file requests carry their text as UTF-8 bytes, counted; a read piece's count is judged
// against its data in every framing.
#include "ByteHelpers.h"
#include "Checksum.h"
#include "CodecFixture.h"

#include <gtest/gtest.h>

#include <QString>

#include <functional>
#include <string>

namespace {

Bytes requestFrame(int mode, const Bytes& pdu)
{
    Bytes f;
    if (mode == 0) {
        const int n = int(pdu.size()) + 7;
        f = {0, 0, 0, 0, uint8_t(n - 6), uint8_t((n - 6) >> 8), 0};
    } else {
        f = mode == 1 ? Bytes{0x01} : Bytes{':', 0x01};
    }
    f.insert(f.end(), pdu.begin(), pdu.end());
    if (mode != 0) {
        const uint16_t crc = Checksum::crc16(f.data(), uint16_t(f.size()));
        f.push_back(uint8_t(crc));
        f.push_back(uint8_t(crc >> 8));
    }
    return f;
}

// Replies: CRC-16 in mode 1, LRC and line feed in mode 2.
Bytes replyFrame(int mode, const Bytes& pdu)
{
    if (mode != 2)
        return requestFrame(mode, pdu);
    Bytes f = {':', 0x01};
    f.insert(f.end(), pdu.begin(), pdu.end());
    f.push_back(Checksum::lrc(f.data() + 1, uint16_t(f.size() - 1)));
    f.push_back(0x0A);
    return f;
}

struct BuilderCase
{
    const char* name;
    std::function<int32_t(Codec&)> build;
    Bytes pdu;
};

TEST(FileRequestFrame, TextGoesAsItsUtf8BytesCounted)
{
    const std::vector<BuilderCase> cases = {
        {"open", [](Codec& c) { return c.CmdBinFileOpen(3, QString::fromUtf8("aé")); }, cat({{0x83, 1}, le(3), {'a', 0xC3, 0xA9}})},
        {"write", [](Codec& c) { return c.CmdBinFileWrite(QString::fromUtf8("é€")); },
         cat({{0x83, 2}, le(5), {0xC3, 0xA9, 0xE2, 0x82, 0xAC}})},
        {"write outside the BMP", [](Codec& c) { return c.CmdBinFileWrite(QString::fromUtf8("\xF0\x9F\x98\x80!")); },
         cat({{0x83, 2}, le(5), {0xF0, 0x9F, 0x98, 0x80, '!'}})},
        {"empty write", [](Codec& c) { return c.CmdBinFileWrite(QString()); }, cat({{0x83, 2}, le(0)})},
        {"read open", [](Codec& c) { return c.CmdBinFileReadOpen(0x102, 2, QString::fromUtf8("ü")); },
         {'e', 1, 0x02, 0x02, 0xC3, 0xBC}},
    };
    for (int mode = 0; mode < 3; ++mode) {
        for (const BuilderCase& bc : cases) {
            Codec c(mode);
            EXPECT_EQ(c.frame(bc.build(c)), requestFrame(mode, bc.pdu)) << bc.name << " mode " << mode;
        }
    }
}

// Text that no longer fits the frame is refused whole, never cut.
TEST(FileRequestFrame, TextBeyondTheFrameIsRefused)
{
    Codec c;
    EXPECT_EQ(c.CmdBinFileWrite(QString(487, QChar('a'))), 500);
    EXPECT_EQ(c.CmdBinFileWrite(QString(488, QChar('a'))), 0);
    EXPECT_EQ(c.CmdBinFileWrite(QString::fromUtf8("é").repeated(244)), 0) << "244 characters, 488 bytes";
    EXPECT_EQ(c.CmdBinFileOpen(1, QString::fromUtf8("é").repeated(244)), 0);
}

struct ReadPiece : VProtocol_Client
{
    uint8_t out[500] = {};
    uint8_t in[500] = {};
    std::string seen;
    explicit ReadPiece(int mode) { sendBuf = out; recvBuf = in; setFrameMode(mode); }
    void onRecCmdReadFile(const uint8_t* data, int32_t length) override
    {
        seen = std::to_string(data[0]) + "/" + std::to_string(length);
    }
    void onRecCmdErrorData(QByteArray bytes) override { seen = "data:" + bytes.toStdString(); }
    int32_t parse(const Bytes& frame)
    {
        seen.clear();
        std::copy(frame.begin(), frame.end(), in);
        return analysisReciveBuffer(int32_t(frame.size()));
    }
};

// The read handler compares the count with the frame's length less 10, as a TCP frame has it:
// the serial framings give it that length too, so a piece of n bytes passes in each.
TEST(FileReplyFrame, ReadPieceLengthCountsAsInTcp)
{
    for (int mode = 0; mode < 3; ++mode) {
        ReadPiece p(mode);
        EXPECT_EQ(p.parse(replyFrame(mode, {'c', 2, 3, 'a', 'b', 'c'})), 0) << mode;
        EXPECT_EQ(p.seen, "3/13") << mode;
        EXPECT_EQ(p.parse(replyFrame(mode, {'c', 2, 0})), 0) << mode;
        EXPECT_EQ(p.seen, "0/10") << mode;
        EXPECT_EQ(p.parse(replyFrame(mode, {0x85, 2, 'x', 'y'})), 0) << mode;
        EXPECT_EQ(p.seen, "data:xy") << "the trailer is no data, mode " << mode;
    }
}

}
