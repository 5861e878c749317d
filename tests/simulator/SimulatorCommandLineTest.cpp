// The simulator program's command line, parsed without starting anything.
#include "SimulatorCommandLine.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <initializer_list>
#include <utility>

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
    EXPECT_EQ(line.settings().addresses, QStringList{QStringLiteral("127.0.0.1")});
    EXPECT_EQ(line.settings().port, 60000);
    EXPECT_EQ(line.settings().udpPort, 60007);
    EXPECT_TRUE(line.settings().serialPath.isEmpty());
    EXPECT_EQ(line.settings().serialMode, 1);
    EXPECT_FALSE(line.settings().verbose);
    EXPECT_TRUE(line.settings().rules.isEmpty());
    EXPECT_FALSE(line.settings().ftp);
}

TEST(SimulatorCommandLineTest, EveryOptionReachesTheSettings)
{
    const SimulatorCommandLine line = parse({"--listen", "127.0.0.9", "--port=1", "--udp-port", "65535", "--sync-port",
                                             "6006", "--serial", "/dev/pts/7", "--serial-mode", "2", "--verbose"});
    ASSERT_EQ(line.outcome(), Outcome::Serve) << line.message().toStdString();
    EXPECT_EQ(line.settings().addresses, QStringList{QStringLiteral("127.0.0.9")});
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

TEST(SimulatorCommandLineTest, SeveralControllersRulesAndFtp)
{
    const SimulatorCommandLine listed = parse({"--listen", "127.0.0.5", "--listen", "127.0.0.9"});
    ASSERT_EQ(listed.outcome(), Outcome::Serve) << listed.message().toStdString();
    EXPECT_EQ(listed.settings().addresses, (QStringList{QStringLiteral("127.0.0.5"), QStringLiteral("127.0.0.9")}));

    const SimulatorCommandLine counted = parse({"--listen", "127.0.0.252", "--controllers", "3"});
    ASSERT_EQ(counted.outcome(), Outcome::Serve) << counted.message().toStdString();
    EXPECT_EQ(counted.settings().addresses,
              (QStringList{QStringLiteral("127.0.0.252"), QStringLiteral("127.0.0.253"), QStringLiteral("127.0.0.254")}));
    EXPECT_EQ(parse({"--controllers", "2"}).settings().addresses,
              (QStringList{QStringLiteral("127.0.0.1"), QStringLiteral("127.0.0.2")}));

    // Script files first, then --inject, each in the order given: the last matching rule wins.
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString first = dir.filePath(QStringLiteral("first.rules")), second = dir.filePath(QStringLiteral("second.rules"));
    for (const auto& file : {std::make_pair(first, QByteArray("p silent\n# comment\nalarm 1 2 3\n")),
                             std::make_pair(second, QByteArray("@127.0.0.6 variable 1000005 7\n"))}) {
        QFile out(file.first);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(file.second);
    }
    const QByteArray firstPath = first.toUtf8(), secondPath = second.toUtf8();
    const SimulatorCommandLine ruled = parse({"--inject", "r 1 state 3", "--script", firstPath.constData(), "--listen",
                                              "127.0.0.5", "--controllers", "2", "--inject", "f 3 state 2 times 1",
                                              "--script", secondPath.constData()});
    ASSERT_EQ(ruled.outcome(), Outcome::Serve) << ruled.message().toStdString();
    QStringList lines;
    for (const InjectionRule& rule : ruled.settings().rules)
        lines << rule.line;
    EXPECT_EQ(lines, (QStringList{QStringLiteral("p silent"), QStringLiteral("alarm 1 2 3"),
                                  QStringLiteral("@127.0.0.6 variable 1000005 7"), QStringLiteral("r 1 state 3"),
                                  QStringLiteral("f 3 state 2 times 1")}));

    const SimulatorCommandLine ftp = parse({"--ftp", "--ftp-root", "/srv/cnc", "--ftp-python", "/opt/py/bin/python3"});
    ASSERT_EQ(ftp.outcome(), Outcome::Serve) << ftp.message().toStdString();
    EXPECT_TRUE(ftp.settings().ftp);
    EXPECT_EQ(ftp.settings().ftpRoot, "/srv/cnc");
    EXPECT_EQ(ftp.settings().ftpPython, "/opt/py/bin/python3");
    EXPECT_TRUE(parse({"--ftp"}).settings().ftpRoot.isEmpty());
}

TEST(SimulatorCommandLineTest, HelpAndVersionPrintAndExitWithZero)
{
    for (const char* option : {"--help", "-h"}) {
        SCOPED_TRACE(option);
        // Help wins over whatever else stands on the line.
        const SimulatorCommandLine line = parse({"--port", "70000", option});
        EXPECT_EQ(line.outcome(), Outcome::PrintAndExit);
        EXPECT_EQ(line.exitCode(), 0);
        for (const char* listed : {"--listen", "--controllers", "--port", "--udp-port", "--sync-port", "--serial",
                                   "--serial-mode", "--inject", "--script", "--ftp", "--ftp-root", "--ftp-python",
                                   "--verbose", "--version", "--help", "python3-pyftpdlib", "470913",
                                   // the rule syntax
                                   "state S", "raw HEX", "reply HEX", "delay MS", "split MS", "dribble MS",
                                   "truncate", "corrupt", "silent", "close", "times N", "channel CH", "@ADDR",
                                   "busy N MS", "dnc-capacity BYTES", "running CH NAME", "emergency-stop CH",
                                   "alarm A B C", "variable ADDR VALUE", "program is runing."})
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
        {{"--listen", "127.0.0.5", "--listen", "127.0.0.5"}, "twice"},
        {{"--controllers", "0"}, "--controllers"},
        {{"--controllers", "101"}, "'101'"},
        {{"--controllers", "two"}, "'two'"},
        {{"--listen", "127.0.0.5", "--listen", "127.0.0.6", "--controllers", "2"}, "one --listen"},
        {{"--listen", "::1", "--controllers", "2"}, "IPv4"},
        {{"--listen", "127.0.0.250", "--controllers", "6"}, "127.0.0.250"},
        {{"--inject", "r 1 stat 3"}, "--inject 'r 1 stat 3': unknown word 'stat'"},
        {{"--inject", "# only a comment"}, "empty"},
        {{"--inject", "@127.0.0.9 p silent"}, "127.0.0.9, which is not one of the controllers"},
        {{"--script", "/nonexistent/rules.txt"}, "--script cannot read '/nonexistent/rules.txt'"},
        {{"--ftp-root", "/tmp"}, "--ftp-root needs --ftp"},
        {{"--ftp-python", "/usr/bin/python3"}, "--ftp-python needs --ftp"},
        {{"--ftp", "--ftp-root", ""}, "--ftp-root: the path is empty"},
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
