#include "ClientTestSupport.h"

void ClientFixture::SetUp()
{
    sim.reset(new SimulatedController);
    ASSERT_TRUE(sim->start());
    clearReportedError();
}

void ClientFixture::TearDown()
{
    client.reset();
    sim.reset();
}

void ClientFixture::connectClient(int32_t mode)
{
    client.reset(new AsynchronousClient);
    client->setSyncMode(mode);
    ASSERT_TRUE(client->tcpConnect(sim->address().toLatin1()));
}
