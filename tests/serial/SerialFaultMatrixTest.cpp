// The serial cells of the fault matrix: a program upload over the serial line, in both framings,
// whose second append block is answered with a corrupt check sum. The upload gives 111 and stops
// there (no further block, no file end), the controller holds a first part of the text, and the next
// upload arrives whole; once the client is gone, its port thread and descriptors are too. A
// command answered with a corrupt check sum has its cell in SerialLinkTest.ReplyFaultsGive111AndTheLinkRecovers.
#include "AsynchronousClient.h"
#include "CommCodes.h"
#include "FaultSupport.h"
#include "SerialFixture.h"
#include "TransferTestSupport.h"

#include <memory>

namespace {


using SerialFaultMatrix = SerialFixture;

TEST_P(SerialFaultMatrix, TransferWithACorruptCheckSum)
{
    client.reset(); // the cell counts the client's own port thread and descriptors
    FaultCell cell(std::string("corrupt check sum, serial ") + GetParam().name, "text transfer");
    client = std::make_unique<AsynchronousClient>();
    ASSERT_TRUE(client->connect232Com(socat.end(0).toLocal8Bit(), GetParam().asciiSel));
    const QByteArray text = programOf(2000);
    sim->scriptReply('d', 2, scriptOf(ReplyScript::BadChecksum, 0, 0, 1));
    sim->scriptReply('d', 2, scriptOf(ReplyScript::Status, 0, 0, 1));
    Stopwatch clock;
    const int32_t result = client->uploadFile(2, 1, "S1", text.constData());
    const qint64 ms = clock.ms();
    EXPECT_EQ(result, ResultCode::NoValidReply);
    EXPECT_LE(ms, 1800 + 900) << "within the three reply waits";
    EXPECT_EQ(sim->requestCount('d', 2), 2) << "no block after the one whose reply was corrupt";
    EXPECT_EQ(sim->requestCount('d', 4), 0) << "no file end";
    const QByteArray held = sim->programText(1, "S1");
    EXPECT_TRUE(text.startsWith(held));
    const QByteArray again = programOf(1300);
    EXPECT_EQ(client->uploadFile(2, 1, "S2", again.constData()), ResultCode::Success);
    EXPECT_EQ(sim->programText(1, "S2"), again);
    EXPECT_EQ(sim->connectionCount(), 0) << "all of it over the serial line";
    cell.outcome("result " + std::to_string(result) + " after " + std::to_string(ms) + " ms, controller holds " +
                 std::to_string(held.size()) + " of " + std::to_string(text.size()) +
                 " bytes (a first part), no file end; next upload whole");
    client.reset();
    cell.done();
}

INSTANTIATE_TEST_SUITE_P(Framings, SerialFaultMatrix, ::testing::ValuesIn(kFramings), framingName);
} // namespace
