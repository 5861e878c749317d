#pragma once
#include "AsynchronousClient.h"
#include "TestSupport.h"

#include <memory>

using namespace CommandTable; // the rows and slots of client->command

// A simulator on its own loopback address plus a client of it.
class ClientFixture : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // Connects a fresh client in the given mode (1 sync, 0 async).
    void connectClient(int32_t mode);

    std::unique_ptr<SimulatedController> sim;
    std::unique_ptr<AsynchronousClient> client;
};
