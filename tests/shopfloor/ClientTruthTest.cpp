// What the library tells the application about its controllers: the address it reaches.
#include "ApiTestSupport.h"
#include "CommCodes.h"

#include <string>

namespace {
constexpr quint16 kOtherPort = 61017; // no simulator listens here unless a test starts one
constexpr int kPortCnc = 31;
} // namespace

class ClientTruthTest : public ApiFixture
{
};

// "host:port" reaches a controller on that port; a malformed port is refused before anything starts.
TEST_F(ClientTruthTest, AddressCarriesItsPort)
{
    SimulatedController gateway;
    ASSERT_TRUE(gateway.start(sim->address(), kOtherPort));
    QByteArray withPort = (sim->address() + ":" + QString::number(kOtherPort)).toLatin1();
    ASSERT_TRUE(addTargetCnc(kPortCnc, 1, withPort.data(), 0));
    EXPECT_TRUE(connect(kPortCnc));
    const CncLong address = 1000012, value = 4321;
    EXPECT_EQ(writeVars(const_cast<CncLong*>(&address), 1, const_cast<CncLong*>(&value), kPortCnc), 0);
    EXPECT_EQ(gateway.variable(address), value);
    disconnect(kPortCnc);
    removeTargetCnc(kPortCnc);

    AcmRemoteBuffer* buffer = bufOpen(withPort.data(), 1, 1);
    ASSERT_NE(buffer, nullptr);
    EXPECT_TRUE(waitUntil([&] { return getBufState(buffer) == 5; }, 3000)) << getBufStateInf(buffer);
    bufClose(buffer);
    EXPECT_TRUE(sim->receivedFrames().isEmpty()) << "the controller on the default port heard nothing";

    const QByteArray host = sim->address().toLatin1();
    for (const char* port : {":", ":0", ":65536", ":6x", ": 60000", ":+1", ":600000"}) {
        QByteArray bad = host + port;
        EXPECT_FALSE(addTargetCnc(kPortCnc, 1, bad.data(), 0)) << port;
        EXPECT_EQ(bufOpen(bad.data(), 1, 1), nullptr) << port;
    }
    QByteArray noHost(":60000");
    EXPECT_FALSE(addTargetCnc(kPortCnc, 1, noHost.data(), 0));
}
