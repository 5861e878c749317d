// The simulator program's command line, parsed without starting anything.
#include "SimulatorCommandLine.h"

#include <gtest/gtest.h>

#include <initializer_list>

namespace {
using Outcome = SimulatorCommandLine::Outcome;

SimulatorCommandLine parse(std::initializer_list<const char*> options)
{
    QStringList arguments{QStringLiteral("cnc-simulator")};
    for (const char* option : options)
        arguments << QString::fromUtf8(option);
    return SimulatorCommandLine(arguments);
}

TEST(SimulatorCommandLineTest, NoOptionsServesTheDefaults)
{
    const SimulatorCommandLine line = parse({});
    ASSERT_EQ(line.outcome(), Outcome::Serve) << line.message().toStdString();
    EXPECT_EQ(line.settings().address, "127.0.0.1");
    EXPECT_EQ(line.settings().port, 60000);
    EXPECT_EQ(line.settings().udpPort, 60007);
    EXPECT_TRUE(line.settings().serialPath.isEmpty());
    EXPECT_EQ(line.settings().serialMode, 1);
    EXPECT_FALSE(line.settings().verbose);
}

TEST(SimulatorCommandLineTest, EveryOptionReachesTheSettings)
{
    const SimulatorCommandLine line = parse({"--listen", "127.0.0.9", "--port=1", "--udp-port", "65535", "--sync-port",
                                             "6006", "--serial", "/dev/pts/7", "--serial-mode", "2", "--verbose"});
    ASSERT_EQ(line.outcome(), Outcome::Serve) << line.message().toStdString();
    EXPECT_EQ(line.settings().address, "127.0.0.9");
    EXPECT_EQ(line.settings().port, 1);
    EXPECT_EQ(line.settings().udpPort, 65535);
    EXPECT_EQ(line.settings().syncPort, 6006);
    EXPECT_EQ(parse({}).settings().syncPort, 60006);
    EXPECT_EQ(parse({"--sync-port", "0"}).outcome(), Outcome::Refuse);
    EXPECT_EQ(line.settings().serialPath, "/dev/pts/7");
    EXPECT_EQ(line.settings().serialMode, 2);
    EXPECT_TRUE(line.settings().verbose);
    EXPECT_EQ(parse({"--serial", "/dev/pts/7"}).settings().serialMode, 1);
}

TEST(SimulatorCommandLineTest, HelpAndVersionPrintAndExitWithZero)
{
    for (const char* option : {"--help", "-h"}) {
        SCOPED_TRACE(option);
        // Help wins over whatever else stands on the line.
        const SimulatorCommandLine line = parse({"--port", "70000", option});
        EXPECT_EQ(line.outcome(), Outcome::PrintAndExit);
        EXPECT_EQ(line.exitCode(), 0);
        for (const char* listed : {"--listen", "--port", "--udp-port", "--serial", "--serial-mode", "--verbose",
                                   "--version", "--help"})
            EXPECT_TRUE(line.message().contains(QLatin1String(listed))) << listed;
    }
    const SimulatorCommandLine version = parse({"--version"});
    EXPECT_EQ(version.outcome(), Outcome::PrintAndExit);
    EXPECT_EQ(version.exitCode(), 0);
    EXPECT_EQ(version.message(), QStringLiteral("cnc-simulator " ACM_VERSION "\n"));
}

TEST(SimulatorCommandLineTest, BadOrUnknownOptionsAreRefusedWithTwoAndTheReason)
{
    struct Case
    {
        std::initializer_list<const char*> options;
        const char* named; // what the message must name
    };
    const Case cases[] = {
        {{"--port", "70000"}, "70000"},
        {{"--port", "abc"}, "abc"},
        {{"--port", "0"}, "--port"},
        {{"--port", "-1"}, "-1"},
        {{"--port", "6e4"}, "6e4"},
        {{"--port"}, "--port"},
        {{"--udp-port", "65536"}, "--udp-port"},
        {{"--serial", "/dev/pts/7", "--serial-mode", "3"}, "--serial-mode"},
        {{"--serial", "/dev/pts/7", "--serial-mode", "one"}, "one"},
        {{"--serial-mode", "2"}, "--serial"},
        {{"--serial", ""}, "--serial"},
        {{"--listen", "127.0.0.300"}, "127.0.0.300"},
        {{"--listen", "localhost"}, "localhost"},
        {{"--listen", ""}, "--listen"},
        {{"--bogus"}, "bogus"},
        {{"-x"}, "'x'"},
        {{"--verbose=yes"}, "--verbose"},
        {{"extra"}, "extra"},
    };
    for (const Case& c : cases) {
        const SimulatorCommandLine line = parse(c.options);
        const std::string message = line.message().toStdString();
        SCOPED_TRACE(std::string(*c.options.begin()) + " -> " + message);
        EXPECT_EQ(line.outcome(), Outcome::Refuse);
        EXPECT_EQ(line.exitCode(), 2);
        EXPECT_NE(message.find(c.named), std::string::npos);
        EXPECT_EQ(message.rfind("cnc-simulator: ", 0), 0u);
    }
}
}
