#include "ApiTestSupport.h"

void ApiFixture::SetUp()
{
    sim.reset(new SimulatedController);
    ASSERT_TRUE(sim->start());
    clearReportedError();
}

void ApiFixture::TearDown()
{
    disconnect(kCnc);
    removeTargetCnc(kCnc);
    sim.reset();
}

void ApiFixture::addAndConnect(int asyncMask)
{
    QByteArray ip = address();
    ASSERT_TRUE(addTargetCnc(kCnc, kChannels, ip.data(), asyncMask));
    ASSERT_TRUE(connect(kCnc));
}
