// Program text transfer against the simulator: what goes on the wire, in which blocks, and
// what the controller ends up holding.
#include "ClientTestSupport.h"
#include "CommCodes.h"
#include "TransferTestSupport.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

using TransferTest = ClientFixture;
using Shapes = std::vector<std::string>;

std::vector<int> sizesOf(const std::vector<QByteArray>& blocks)
{
    std::vector<int> sizes;
    for (const QByteArray& b : blocks)
        sizes.push_back(b.size());
    return sizes;
}

TEST_F(TransferTest, UploadedProgramsArriveByteExactInBlocksOf400)
{
    connectClient(1);
    struct Case
    {
        int size;
        std::vector<int> overwrites; // after the empty block that follows the declaration
        std::vector<int> appends;
    };
    std::vector<int> fiveThousand(11, 400);
    fiveThousand.push_back(200);
    const Case cases[] = {
        {0, {0, 0}, {}},       {1, {0, 1}, {}},           {399, {0, 399}, {}},          {400, {0, 400}, {0}},
        {401, {0, 400}, {1}}, {1000, {0, 400}, {400, 200}}, {5000, {0, 400}, fiveThousand},
    };
    for (const Case& c : cases) {
        sim->clearReceived();
        const QByteArray name = "O" + QByteArray::number(c.size);
        const QByteArray text = programOf(c.size);
        ASSERT_EQ(client->uploadFile(1, 1, name.constData(), text.constData()), 0) << c.size;
        EXPECT_EQ(sim->programText(1, name), text) << c.size;
        EXPECT_EQ(sizesOf(blockTexts(*sim, 3)), c.overwrites) << c.size;
        std::vector<int> appends = sizesOf(blockTexts(*sim, 2));
        EXPECT_EQ(appends, c.appends) << c.size;
        EXPECT_EQ(sim->requestCount('d', 4), 1) << c.size;
    }
}

TEST_F(TransferTest, UploadSequenceDependsOnTheFileType)
{
    connectClient(1);
    struct Case
    {
        int32_t type;
        Shapes expected;
    };
    const Case cases[] = {
        {2, {"d1 1 3 O2", "d3 3", "d4"}},                       // declared alone
        {1, {"d1 1 1 O2", "d3 0", "d3 3", "d4"}},               // declaration, empty block, text
        {17, {"d1 1 17 O2", "d3 0", "d3 3", "d4"}},
        {0, {"d1 1 5 O2", "d3 0", "d3 3", "d4"}},
        {16, {"d1 1 5 O2", "d3 0", "d3 3", "d4"}},
        {18, {"d1 1 5 O2", "d3 0", "d3 3", "d4"}},
    };
    for (const Case& c : cases) {
        sim->clearReceived();
        EXPECT_EQ(client->uploadFile(c.type, 1, "O2", "G01"), 0) << c.type;
        EXPECT_EQ(transferShapes(*sim), c.expected) << c.type;
    }
    EXPECT_EQ(sim->programText(1, "O2"), QByteArray("G01"));
}

TEST_F(TransferTest, DeclarationChecksTypeChannelAndNameBeforeSending)
{
    connectClient(1);
    client->errCallback = &recordError;
    sim->clearReceived();
    for (int32_t type : {3, 19, -1, 15})
        EXPECT_EQ(client->setTransFileType(type, 1, "O1", true), ResultCode::ArgumentOutOfRange) << type;
    for (int32_t channel : {0, 100, -1})
        EXPECT_EQ(client->setTransFileType(1, channel, "O1", false), ResultCode::ArgumentOutOfRange) << channel;
    EXPECT_EQ(client->setTransFileType(1, 1, nullptr, false), ResultCode::ArgumentOutOfRange);
    EXPECT_TRUE(transferShapes(*sim).empty());
    // A query never sends the empty block; a name ends at 100 bytes or at a byte with the top bit set.
    const QByteArray longName(120, 'L');
    EXPECT_EQ(client->setTransFileType(32, 99, longName.constData(), true), 0);
    EXPECT_EQ(client->setTransFileType(1, 2, "P\xE4X", true), 0);
    EXPECT_EQ(transferShapes(*sim), Shapes({"d6 99 5 " + std::string(100, 'L'), "d6 2 1 P"}));
    EXPECT_EQ(reportedError().calls, 0);
}

TEST_F(TransferTest, TextWithAByteWithTheTopBitSetIsRefusedWhole)
{
    connectClient(1);
    const QByteArray head = programOf(450);
    for (int at : {150, 400, 450, 0}) {
        sim->clearReceived();
        const QByteArray text = head.left(at) + "\x80" + programOf(300);
        ASSERT_EQ(client->uploadFile(2, 1, "O80", text.constData()), ResultCode::ArgumentOutOfRange) << at;
        EXPECT_TRUE(transferShapes(*sim).empty()) << at;
    }
}

TEST_F(TransferTest, OverwriteAndAppendNeedAnAcceptedDeclaration)
{
    connectClient(1);
    client->setLogFlags(LogFlag::Errors);
    LogCapture log;
    EXPECT_EQ(client->overwrite("G01"), ResultCode::ArgumentOutOfRange);
    EXPECT_EQ(client->append("G01 X1\x81Y"), ResultCode::ArgumentOutOfRange);
    EXPECT_EQ(log.count("long int AsynchronousClient::overwrite(char*) ParError: isSetFileOk  false  txt size( 3 ) > "
                        "payloadTxtSize( 400 )"),
              1);
    EXPECT_EQ(log.count("long int AsynchronousClient::append(char*) ParError: isSetFileOk  false  txt size( 6 ) > "
                        "payloadTxtSize( 400 )"),
              1);
    ASSERT_EQ(client->setTransFileType(2, 1, "O3", false), 0);
    EXPECT_EQ(client->overwrite("G01 "), 0);
    EXPECT_EQ(client->append("G02"), 0);
    // The file end closes the declaration at once; a raw reply byte does not change its result.
    ReplyScript endReply = scriptOf(ReplyScript::Raw, 0, 0, 1);
    endReply.raw = QByteArray("\x00\x00\x00\x00\x04\x00\x00\x64\x04\x01", 10);
    sim->scriptReply('d', 4, endReply);
    EXPECT_EQ(client->fileEnd(), 0);
    EXPECT_FALSE(client->isSetFileOk);
    EXPECT_EQ(client->append("G03"), ResultCode::ArgumentOutOfRange);
    EXPECT_EQ(sim->programText(1, "O3"), QByteArray("G01 G02"));
    client->setLogFlags(0);
}

TEST_F(TransferTest, BadArgumentsAndAMissingLinkSendNothing)
{
    connectClient(1);
    sim->clearReceived();
    EXPECT_EQ(client->uploadFile(1, 1, "dir/O1", "G01"), ResultCode::ArgumentOutOfRange);
    EXPECT_EQ(client->uploadFile(1, 1, "O1/", "G01"), ResultCode::ArgumentOutOfRange);
    EXPECT_EQ(client->uploadFile(1, 1, nullptr, "G01"), ResultCode::ArgumentOutOfRange);
    EXPECT_EQ(client->uploadFile(1, 1, "O1", nullptr), ResultCode::ArgumentOutOfRange);
    EXPECT_EQ(client->cycStart(0, "O1"), ResultCode::ArgumentOutOfRange);
    EXPECT_EQ(client->cycStart(100, "O1"), ResultCode::ArgumentOutOfRange);
    EXPECT_EQ(client->cycStart(1, nullptr), ResultCode::ArgumentOutOfRange);
    EXPECT_TRUE(transferShapes(*sim).empty());
    ASSERT_EQ(client->setTransFileType(2, 1, "O1", false), 0);
    EXPECT_EQ(client->overwrite(nullptr), ResultCode::ArgumentOutOfRange);
    EXPECT_EQ(client->append(nullptr), ResultCode::ArgumentOutOfRange);
    EXPECT_EQ(transferShapes(*sim), Shapes({"d1 1 3 O1"}));

    AsynchronousClient idle;
    idle.isSetFileOk = true;
    EXPECT_EQ(idle.setTransFileType(1, 1, "O1", false), ResultCode::NotConnected);
    EXPECT_EQ(idle.overwrite("G01"), ResultCode::NotConnected);
    EXPECT_EQ(idle.append("G01"), ResultCode::NotConnected);
    EXPECT_EQ(idle.fileEnd(), ResultCode::NotConnected);
    EXPECT_EQ(idle.uploadFile(1, 1, "O1", "G01"), ResultCode::NotConnected);
    EXPECT_EQ(idle.cycStart(1, "O1"), ResultCode::NotConnected);
    EXPECT_TRUE(idle.cmdQueue.isEmpty());
}

TEST_F(TransferTest, PerTransferLogListsEveryByteSent)
{
    connectClient(1);
    ASSERT_EQ(client->setTransFileType(2, 1, "O4", false), 0);
    client->setLogFlags(LogFlag::Progress);
    LogCapture log;
    const QByteArray text = programOf(402);
    EXPECT_EQ(client->overwrite(text.constData()), 0);
    EXPECT_EQ(client->append(text.constData()), 0);
    client->setLogFlags(0);
    EXPECT_EQ(log.count("long int AsynchronousClient::overwrite(char*) "), 400);
    EXPECT_EQ(log.count("long int AsynchronousClient::append(char*) "), 2 + 402);
    EXPECT_EQ(log.count("long int AsynchronousClient::overwrite(char*) 0   maxsize*number+count= 0   letter= 0X 4E   N"), 1);
    EXPECT_EQ(log.count("long int AsynchronousClient::append(char*) 1   maxsize*number+count= 1   letter= 0X " +
                        QByteArray::number(uint8_t(text[401]), 16).toUpper().toStdString()),
              1);
    EXPECT_EQ(log.count("long int AsynchronousClient::append(char*) 1   maxsize*number+count= 401   letter= 0X " +
                        QByteArray::number(uint8_t(text[401]), 16).toUpper().toStdString()),
              1) << "the second block of a long append";
}

} // namespace
