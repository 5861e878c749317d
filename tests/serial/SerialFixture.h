#pragma once
#include "AsynchronousClient.h"
#include "SimulatedController.h"
#include "SocatPair.h"

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>

// The two serial framings, as the client selects them and as they show in its codec.
struct Framing
{
    int32_t asciiSel;
    int32_t frameMode;
    int32_t headerLen;
    const char* name;
};

void PrintTo(const Framing& framing, std::ostream* os);
extern const Framing kFramings[2];
std::string framingName(const ::testing::TestParamInfo<Framing>& info);

// A client on one end of a socat pty pair, the simulator answering on the other end in the
// framing of the parameter. The client has no TCP link unless a test makes one.
class SerialFixture : public ::testing::TestWithParam<Framing>
{
protected:
    void SetUp() override;
    void TearDown() override;

    SocatPair socat;
    std::unique_ptr<SimulatedController> sim;
    std::unique_ptr<AsynchronousClient> client;
};
