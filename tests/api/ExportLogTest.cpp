// The debug lines the logging exports write: texts byte for byte, also on failure.
#include "ApiTestSupport.h"

#include <QStringList>

#include <mutex>

namespace {
std::mutex linesMutex;
QStringList lines;

void captureLine(QtMsgType, const QMessageLogContext&, const QString& text)
{
    std::lock_guard<std::mutex> lock(linesMutex);
    lines.append(text);
}

class ExportLogTest : public ApiFixture
{
protected:
    void SetUp() override
    {
        ApiFixture::SetUp();
        previous = qInstallMessageHandler(captureLine);
    }
    void TearDown() override
    {
        qInstallMessageHandler(previous);
        ApiFixture::TearDown();
    }
    bool logged(const QString& line) const
    {
        std::lock_guard<std::mutex> lock(linesMutex);
        return lines.contains(line);
    }
    void clearLines()
    {
        std::lock_guard<std::mutex> lock(linesMutex);
        lines.clear();
    }
    QtMessageHandler previous = nullptr;
};

TEST_F(ExportLogTest, AddTargetLogsBeforeTheLookUp)
{
    char ip[] = "127.0.0.1";
    ASSERT_TRUE(addTargetCnc(kCnc, 2, ip, 1));
    EXPECT_TRUE(logged("@@@@####1111 bool addTargetCnc(int, int, char*, int)  cncID= 7  maxDncCh= 2  ip= 127.0.0.1"));
    EXPECT_FALSE(addTargetCnc(kCnc, 2, nullptr, 1));
    EXPECT_TRUE(logged("@@@@####1111 bool addTargetCnc(int, int, char*, int)  cncID= 7  maxDncCh= 2  ip= "));
}

TEST_F(ExportLogTest, CommandLinesCarryArgumentsAndResult)
{
    addAndConnect();
    clearLines();
    EXPECT_EQ(reset(2, kCnc), 0);
    EXPECT_TRUE(logged("long int reset(long int, int)  channel= 2  cncID= 7  out= 0"));
    EXPECT_EQ(jogMotionV_Run(1, 2, 300, 1, 0, kCnc), 0);
    EXPECT_TRUE(logged("long int jogMotionV_Run(long int, long int, long int, long int, long int, int)  tmpChanne= 1 "
                       " cncID= 7  tmpAxis= 2  tmpFeed= 300 tmpIsNegDir= 1 tmpIsFast= 0 cncID= 7 out= 0"));
    EXPECT_EQ(setCncType(4, 1, kCnc), 0);
    EXPECT_TRUE(logged("long int setCncType(long int, long int, int)  type= 4  cncID= 7  channel= 1"));
    EXPECT_EQ(jogMotionP_Para(1, 2, 3, 4, 5, 6, kCnc), 0);
    EXPECT_TRUE(logged("long int jogMotionP_Para(long int, long int, long int, long int, long int, long int, int) "
                       " tmpChannel= 1  tmpAxis= 2  tmpFeed= 3 tmpLen= 4 tmpIsAb== 5 tmpIsMecCoord== 6 cncID= 7 out= 0"));
    EXPECT_EQ(mpgAxesSet(1, 8, 9, kCnc), 0);
    EXPECT_TRUE(logged("long int mpgAxesSet(long int, long int, long int, int)  tmpChannel= 1  tmpAxisHBits= 8 "
                       " tmpAxisLBits= 9 cncID= 7 out= 0"));
}

TEST_F(ExportLogTest, RejectedChannelAndUnknownTargetStillLog)
{
    addAndConnect();
    clearLines();
    EXPECT_EQ(jogMotionV_Stop(kChannels + 1, 1, kCnc), 1);
    EXPECT_TRUE(logged("long int jogMotionV_Stop(long int, long int, int)  tmpChanne= 4  cncID= 7  tmpAxis= 1 "
                       "cncID= 7 out= 1"));
    EXPECT_EQ(homeRunAxis(1, 1, 99), 1);
    EXPECT_TRUE(logged("long int homeRunAxis(long int, long int, int)  tmpChanne= 1  cncID= 99  tmpAxis= 1 cncID= 99 "
                       "out= 1"));
}
}
