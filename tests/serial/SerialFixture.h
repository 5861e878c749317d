#pragma once
#include "AsynchronousClient.h"
#include "SimulatedController.h"

#include <QProcess>
#include <QStringList>

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>

// The two serial framings, as the client selects them.
struct Framing
{
    int32_t asciiSel;
    int32_t frameMode;
    const char* name;
};

void PrintTo(const Framing& framing, std::ostream* os);
extern const Framing kFramings[2];
std::string framingName(const ::testing::TestParamInfo<Framing>& info);

// A client on one end of a socat pty pair (two linked pseudo terminals), the simulator answering
// on the other end in the framing of the parameter. The client has no TCP link unless a test
// makes one; socat ends with the fixture.
class SerialFixture : public ::testing::TestWithParam<Framing>
{
protected:
    void SetUp() override;
    void TearDown() override;
    // The pty of end 0 (the client's) or 1 (the simulator's).
    QString end(int index) const { return ends.value(index); }

    QProcess socat;
    QStringList ends;
    std::unique_ptr<SimulatedController> sim;
    std::unique_ptr<AsynchronousClient> client;
};
