// The command line: help for the tool and for every command, the version with the library
// found, bad usage (status 2), and a library that cannot be loaded (status 6).
#include "CnccommFixture.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>

namespace {
const QStringList kCommands = {"check", "read",   "write",  "get-bit", "set-bit", "jog",    "home",
                               "send",  "start",  "stream", "upload",  "mkdir",   "errors", "watch",
                               "stop",  "reset",  "estop",  "alarm"};
}

TEST_F(CnccommTest, HelpListsEveryCommandAndEveryExitStatus)
{
    const ToolRun help = run({"--help"});
    EXPECT_EQ(help.status, 0) << qPrintable(help.err);
    for (const QString& c : kCommands)
        EXPECT_TRUE(help.out.contains(QStringLiteral("\n  ") + c + QLatin1Char(' '))) << qPrintable(c);
    EXPECT_TRUE(help.out.contains("Exit status:"));
    for (int status = 0; status <= 8; ++status)
        EXPECT_TRUE(help.out.contains(QStringLiteral("\n  %1  ").arg(status))) << status;
    EXPECT_TRUE(help.out.contains("ACM_LIBRARY"));
    EXPECT_EQ(run({"help"}).out, help.out);

    QFile man(QStringLiteral(CNCCOMM_MAN_PAGE));
    ASSERT_TRUE(man.open(QIODevice::ReadOnly)) << "the manual page is built with the program";
    const QString page = QString::fromUtf8(man.readAll());
    for (const QString& line : help.outLines())
        EXPECT_TRUE(page.contains(QString(line).replace('\\', "\\e"))) << "the page tells the help: " << qPrintable(line);
}

TEST_F(CnccommTest, EveryCommandHasItsOwnHelp)
{
    for (const QString& c : kCommands) {
        const ToolRun help = run({c, "--help"});
        EXPECT_EQ(help.status, 0) << qPrintable(c);
        EXPECT_TRUE(help.out.startsWith(QStringLiteral("Usage: cnccomm [options] ") + c)) << qPrintable(help.out);
        EXPECT_FALSE(help.out.contains("--library")) << "the common options are only in cnccomm --help";
        EXPECT_TRUE(help.out.contains("Exit status:")) << qPrintable(c);
        EXPECT_EQ(run({"help", c}).out, help.out) << qPrintable(c);
    }
    EXPECT_TRUE(run({"jog", "--help"}).out.contains("--distance <LEN>"));
    EXPECT_TRUE(run({"upload", "--help"}).out.contains("--plc"));
}

TEST_F(CnccommTest, VersionNamesTheLibraryItFinds)
{
    const ToolRun version = run({"--version"});
    EXPECT_EQ(version.status, 0);
    const QStringList lines = version.outLines();
    ASSERT_EQ(lines.size(), 2) << qPrintable(version.out);
    EXPECT_EQ(lines[0], QStringLiteral("cnccomm " ACM_PROJECT_VERSION));
    ASSERT_TRUE(lines[1].startsWith("library: /")) << qPrintable(lines[1]);
    EXPECT_EQ(QFileInfo(lines[1].mid(9)).canonicalFilePath(), QFileInfo(ACM_SHARED_LIBRARY).canonicalFilePath());
}

TEST_F(CnccommTest, BadUsageEndsWithStatusTwoAndSaysWhy)
{
    const struct
    {
        QStringList args;
        QString says;
    } rows[] = {
        {{}, "no command given"},
        {{"bogus"}, "unknown command 'bogus'"},
        {{"--bogus", "check"}, "Unknown option 'bogus'"},
        {{"check", "extra"}, "check takes no arguments"},
        {{"read"}, "read needs at least one variable address"},
        {{"read", "12a"}, "address: '12a' is not a variable address"},
        {{"write", "1000001"}, "'1000001' is not ADDRESS=VALUE"},
        {{"write", "1000001=99999999999"}, "value: '99999999999' is not a whole number"},
        {{"--channel", "0", "read", "1"}, "read takes a channel from 1 to 99"},
        {{"check", "--channel", "100"}, "--channel: '100' is not a whole number from 0 to 99"},
        {{"--timeout", "0", "check"}, "--timeout: '0' is not a number of seconds"},
        {{"--async", "read", "1000001"}, "--async: read has no asynchronous form"},
        {{"get-bit", "X", "1"}, "'X' is not a bit table"},
        {{"set-bit", "I", "1", "1"}, "'I' is not a table whose bits can be set"},
        {{"set-bit", "C", "1", "1", "--extra", "3"}, "--extra needs --cnc"},
        {{"jog", "1"}, "exactly one of --for, --distance and --stop"},
        {{"jog", "1", "--for", "10", "--stop"}, "exactly one of --for, --distance and --stop"},
        {{"jog", "64", "--stop"}, "axis: '64' is not a whole number from 0 to 63"},
        {{"home"}, "home needs exactly one axis"},
        {{"send"}, "send needs exactly one program file"},
        {{"send", "a/b", "--name", "x/y"}, "'x/y' is not a program name"},
        {{"start", "two words"}, "'two words' is not a program name"},
        {{"stream", "f", "--mode", "tape"}, "--mode: 'tape' is neither dnc nor mdi"},
        {{"upload"}, "upload needs at least one file"},
        {{"upload", "f", "--plc", "--system"}, "--plc, --to and --system exclude each other"},
        {{"mkdir"}, "mkdir needs exactly one folder"},
        {{"errors", "--channel", "9"}, "errors takes a channel from 0 to 8"},
        {{"watch", "1000001", "--interval", "5"}, "--interval: '5' is not a whole number from 10"},
    };
    for (const auto& row : rows) {
        const ToolRun r = runHere(row.args);
        EXPECT_EQ(r.status, 2) << qPrintable(row.args.join(' ')) << ": " << qPrintable(r.err);
        EXPECT_TRUE(r.err.startsWith("cnccomm: ")) << qPrintable(r.err);
        EXPECT_TRUE(r.err.contains(row.says)) << qPrintable(row.args.join(' ')) << ": " << qPrintable(r.err);
        EXPECT_TRUE(r.err.contains("Try 'cnccomm")) << qPrintable(r.err);
        EXPECT_TRUE(r.out.isEmpty()) << qPrintable(r.out);
    }
    EXPECT_TRUE(sim.receivedFrames().isEmpty()) << "a bad command line sends nothing";
    const QJsonObject json = runHere({"--json", "read", "x"}).json();
    EXPECT_EQ(json.value("exitStatus").toInt(), 2);
    EXPECT_EQ(json.value("command").toString(), "read");
    EXPECT_TRUE(json.value("error").toString().contains("'x' is not a variable address"));
}

TEST_F(CnccommTest, ALibraryThatCannotBeLoadedEndsWithStatusSix)
{
    QProcessEnvironment missing = QProcessEnvironment::systemEnvironment();
    missing.insert("ACM_LIBRARY", "/nonexistent/libAsyncCommModule.so.1");
    const ToolRun byEnvironment = run({"--host", sim.address(), "check"}, 20000, missing);
    EXPECT_EQ(byEnvironment.status, 6);
    EXPECT_TRUE(byEnvironment.err.contains("cannot load /nonexistent/libAsyncCommModule.so.1")) << qPrintable(byEnvironment.err);
    EXPECT_TRUE(run({"--version"}, 20000, missing).out.contains("library: not loaded: cannot load /nonexistent"));

    const ToolRun other = runHere({"--library", "libm.so.6", "check"});
    EXPECT_EQ(other.status, 6);
    EXPECT_TRUE(other.err.contains("libm.so.6 has no function addTargetCnc of version ACM_1.0")) << qPrintable(other.err);
    EXPECT_TRUE(sim.receivedFrames().isEmpty());

    // --library wins over the environment.
    const ToolRun named = run({"--host", sim.address(), "--library", ACM_SHARED_LIBRARY, "check"}, 20000, missing);
    EXPECT_EQ(named.status, 0) << qPrintable(named.err);
}
