#pragma once
#include "AsyncCommModule.h"
#include "TargetCnc.h" // the shop-floor tests use the clients' constants through this header
#include "TestSupport.h"

#include <memory>

// A simulator on its own loopback address, registered as target kCnc with three channels.
class ApiFixture : public ::testing::Test
{
public:
    static constexpr int kCnc = 7;
    static constexpr int kChannels = 3;

protected:
    void SetUp() override;
    void TearDown() override;

    // Registers kCnc with the given mask and connects it.
    void addAndConnect(int asyncMask = 0);
    QByteArray address() const { return sim->address().toLatin1(); }

    std::unique_ptr<SimulatedController> sim;
};
