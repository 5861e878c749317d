#include "SerialFixture.h"

const Framing kFramings[2] = {
    {0, 1, 1, "StationCrc"},
    {1, 2, 2, "ColonLrc"},
};

void PrintTo(const Framing& framing, std::ostream* os)
{
    *os << framing.name;
}

std::string framingName(const ::testing::TestParamInfo<Framing>& info)
{
    return info.param.name;
}

void SerialFixture::SetUp()
{
    if (!SocatPair::available())
        GTEST_SKIP() << "socat is not on PATH; the serial tests need it to make a pty pair";
    ASSERT_TRUE(socat.start()) << "socat did not name two ptys";
    sim.reset(new SimulatedController);
    ASSERT_TRUE(sim->start());
    ASSERT_TRUE(sim->startSerial(socat.end(1), GetParam().frameMode));
    client.reset(new AsynchronousClient);
    ASSERT_TRUE(client->connect232Com(socat.end(0).toLocal8Bit(), GetParam().asciiSel));
}

void SerialFixture::TearDown()
{
    client.reset();
    sim.reset();
    socat.stop();
}
