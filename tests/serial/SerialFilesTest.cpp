// Controller files over a serial line in both framings: error-file pieces end where a TCP link
// ends them, and replies of open length (error texts, file information) arrive whole.
#include "AsynchronousClient.h"
#include "CommCodes.h"
#include "ControllerFiles.h"
#include "SerialFixture.h"
#include "TestSupport.h"

#include <cstring>
#include <memory>

namespace {


using SerialFilesTest = SerialFixture;

QByteArray bytes(int size)
{
    QByteArray b;
    for (int i = 0; i < size; ++i)
        b.append(char('a' + i % 26));
    return b;
}

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

INSTANTIATE_TEST_SUITE_P(Framings, SerialFilesTest, ::testing::ValuesIn(kFramings), framingName);
}
