// Controller files over a serial line in both framings: error-file pieces end where a TCP link
// ends them, and replies of open length (error texts, file information) arrive whole.
#include "AsynchronousClient.h"
#include "CommCodes.h"
#include "ControllerFiles.h"
#include "SocatPair.h"
#include "TestSupport.h"

#include <cstring>
#include <memory>

namespace {

struct Framing
{
    int32_t asciiSel;
    const char* name;
};

void PrintTo(const Framing& framing, std::ostream* os)
{
    *os << framing.name;
}

class SerialFilesTest : public ::testing::TestWithParam<Framing>
{
protected:
    void SetUp() override
    {
        if (!SocatPair::available())
            GTEST_SKIP() << "socat is not on PATH; the serial tests need it to make a pty pair";
        ASSERT_TRUE(socat.start()) << "socat did not name two ptys";
        sim.reset(new SimulatedController);
        ASSERT_TRUE(sim->start());
        client.reset(new AsynchronousClient);
        ASSERT_TRUE(client->connect232Com(socat.end(0).toLocal8Bit(), GetParam().asciiSel));
        ASSERT_TRUE(sim->startSerial(socat.end(1), client->frameMode));
    }

    void TearDown() override
    {
        client.reset();
        sim.reset();
        socat.stop();
    }

    QByteArray bytes(int size) const
    {
        QByteArray b;
        for (int i = 0; i < size; ++i)
            b.append(char('a' + i % 26));
        return b;
    }

    SocatPair socat;
    std::unique_ptr<SimulatedController> sim;
    std::unique_ptr<AsynchronousClient> client;
};

TEST_P(SerialFilesTest, ErrorFileReadsAllItsPieces)
{
    const QByteArray content = bytes(250);
    sim->files()->setErrorFile(1, false, content);
    const char* text = client->getCncCurrentError(10);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(QByteArray(text), "0" + content);
    EXPECT_EQ(sim->requestCount('c', 2), 3);
}

TEST_P(SerialFilesTest, RepliesOfOpenLengthArriveWhole)
{
    const QByteArray message = bytes(150);
    sim->files()->setErrorText(2, message);
    char text[CallerBuffer::TextBytes];
    EXPECT_EQ(client->getCurErrString(2, 0, text), 0);
    EXPECT_EQ(QByteArray(text), message);

    sim->files()->setFileInfo("/home/root/veko/usr/sys0001/program/O1", "size=7");
    char info[CallerBuffer::TextBytes];
    EXPECT_EQ(client->getCncFileInf(1, 1, "O1", info), 0);
    EXPECT_STREQ(info, "size=7");
}

const Framing kFramings[] = {
    {0, "StationCrc"},
    {1, "ColonLrc"},
};
INSTANTIATE_TEST_SUITE_P(Framings, SerialFilesTest, ::testing::ValuesIn(kFramings),
                         [](const ::testing::TestParamInfo<Framing>& info) { return std::string(info.param.name); });
}
