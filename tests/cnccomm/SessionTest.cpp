// What runs over time: watch, an interrupted transfer and its resumption, the simulator program
// as a user runs it beside cnccomm, and upload and mkdir against a real FTP server (pyftpdlib).
#include "CnccommFixture.h"
#include "FrameFields.h"
#include "FtpServerProcess.h"
#include "SimulatorProcess.h"
#include "TransferTestSupport.h"

#include <QDir>
#include <QJsonDocument>
#include <QRegularExpression>

namespace {
// The values that lines "TIME ADDRESS = VALUE" show for address, in order.
std::vector<int> watched(const QString& out, int address)
{
    std::vector<int> values;
    const QRegularExpression line(
        QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3} %1 = (-?\\d+)$").arg(address),
        QRegularExpression::MultilineOption);
    for (auto it = line.globalMatch(out); it.hasNext();)
        values.push_back(it.next().captured(1).toInt());
    return values;
}

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return QDir(path).exists() ? "<folder>" : f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}
} // namespace

TEST_F(CnccommTest, WatchPrintsTheFirstValuesAndEachChangeUntilInterruptedOrItsDuration)
{
    sim.setVariable(1000001, 5);
    sim.setVariable(1000002, -3);
    auto tool = startHere({"watch", "1000001", "1000002", "1000004", "--interval", "20"});
    ASSERT_TRUE(tool->waitForOutput(" 1000004 = 0\n")) << tool->outSoFar().constData();
    for (int value : {6, 7}) {
        sim.setVariable(1000002, value);
        sim.setVariable(1000001, value);
        for (const QByteArray address : {" 1000001 = ", " 1000002 = "})
            ASSERT_TRUE(tool->waitForOutput(address + QByteArray::number(value) + "\n")) << tool->outSoFar().constData();
    }
    tool->interrupt();
    const ToolRun r = tool->finish();
    EXPECT_EQ(r.status, 0) << qPrintable(r.err);
    EXPECT_EQ(watched(r.out, 1000001), std::vector<int>({5, 6, 7})) << qPrintable(r.out);
    EXPECT_EQ(watched(r.out, 1000002), std::vector<int>({-3, 6, 7})) << qPrintable(r.out);
    EXPECT_EQ(watched(r.out, 1000004), std::vector<int>({0})) << "a first value of 0 is shown too";
    EXPECT_TRUE(r.err.endsWith("7 values shown (interrupted)\n")) << qPrintable(r.err);

    const ToolRun timed = runHere({"watch", "1000001", "I:3", "--duration", "0.3"});
    EXPECT_EQ(timed.status, 0) << qPrintable(timed.err);
    EXPECT_TRUE(QRegularExpression("(^|\n)watched 0\\.[3-9] s: 2 values shown\n$").match(timed.err).hasMatch())
        << qPrintable(timed.err);
    EXPECT_TRUE(timed.out.contains(" I:3 = 0\n")) << qPrintable(timed.out);
}

TEST_F(CnccommTest, WatchShowsOnlyPolledValues)
{
    sim.setVariable(1000001, 1234);
    sim.scriptReply('B', -1, scriptOf(ReplyScript::Silence));
    sim.scriptReply('A', -1, scriptOf(ReplyScript::Silence));
    auto tool = startHere({"--json", "watch", "1000001", "--interval", "20"});
    ASSERT_TRUE(tool->waitForOutput("{\"address\":1000001,\"stale\":true")) << tool->outSoFar().constData();
    tool->interrupt();
    const ToolRun r = tool->finish();
    EXPECT_EQ(r.status, 0) << qPrintable(r.err);
    EXPECT_FALSE(r.out.contains("\"value\"")) << "no value a poll did not bring: " << qPrintable(r.out);
}

TEST_F(CnccommTest, ALostLinkEndsAWatchOrIsWaitedFor)
{
    sim.setVariable(1000001, 1234);
    auto tool = startHere({"--json", "watch", "1000001", "--reconnect", "--interval", "20"});
    auto ending = startHere({"watch", "1000001", "--duration", "20"});
    ASSERT_TRUE(tool->waitForOutput("\"value\":1234}")) << tool->outSoFar().constData();
    ASSERT_TRUE(ending->waitForOutput(" 1000001 = 1234\n")) << ending->outSoFar().constData();
    const QString address = sim.address();
    sim.stop();
    ASSERT_TRUE(tool->waitForOutput("\"link\":\"lost\"")) << tool->outSoFar().constData();
    const ToolRun ended = ending->finish();
    EXPECT_EQ(ended.status, 3) << qPrintable(ended.out);
    EXPECT_TRUE(ended.err.contains("the link went down")) << qPrintable(ended.err);
    // A controller that is not there yet is waited for, too.
    BackgroundTool waiting({"--host", address, "watch", "1000001", "--reconnect", "--interval", "20"});
    ASSERT_TRUE(waiting.waitForOutput(" link lost\n")) << waiting.outSoFar().constData();
    ASSERT_TRUE(sim.start(address));
    sim.setVariable(1000001, 9);
    ASSERT_TRUE(tool->waitForOutput("\"value\":9}", 20000)) << tool->outSoFar().constData();
    tool->interrupt();
    const ToolRun r = tool->finish();
    EXPECT_EQ(r.status, 0) << qPrintable(r.err);
    EXPECT_TRUE(r.out.contains("\"link\":\"back\"")) << qPrintable(r.out);
    EXPECT_TRUE(QJsonDocument::fromJson(r.outLines().value(0).toUtf8()).object().value("time").isString());
    EXPECT_TRUE(r.json().value("interrupted").toBool());
    EXPECT_EQ(r.json().value("shown").toInt(), 2);
    EXPECT_EQ(r.json().value("status").toInt(), 0);
    EXPECT_TRUE(waiting.waitForOutput(" 1000001 = 9\n")) << waiting.outSoFar().constData();
    EXPECT_TRUE(waiting.outSoFar().contains(" link back\n"));
}

TEST_F(CnccommTest, ASignalDuringAJogStopsTheAxisFirst)
{
    for (const auto& [signal, kind] : {std::pair<int, QStringList>{SIGINT, {"--continuous"}}, {SIGTERM, {"--for", "60000"}},
                                       {SIGHUP, {"--continuous"}}}) {
        auto tool = startHere(QStringList{"jog", "1"} + kind);
        ASSERT_TRUE(waitUntil([&] { return sim.axisMoving(1, 1); }, 10000));
        tool->interrupt(signal);
        const ToolRun r = tool->finish();
        EXPECT_EQ(r.status, 130) << signal;
        EXPECT_FALSE(sim.axisMoving(1, 1)) << signal;
        EXPECT_TRUE(r.err.contains("axis 1 stopped")) << qPrintable(r.err);
    }
}

TEST_F(CnccommTest, AnInterruptedTransferEndsCleanlyAndResumesFromTheLineItNames)
{
    const QByteArray text = programOf(20000);
    const QString file = writeFile("long.nc", text);
    // The command and the program's name in the controller.
    for (const auto& row : {std::pair<QStringList, QByteArray>{{"send", file, "--name", "O7"}, "O7"},
                            {{"stream", file}, "DNC"}}) {
        const QStringList& args = row.first;
        const QByteArray& stored = row.second;
        sim.scriptReply('d', 2, scriptOf(ReplyScript::Delay, 0, 50)); // every append takes 50 ms
        const int ends = sim.requestCount('d', 4);
        auto tool = startHere(QStringList{"--json"} + args);
        ASSERT_TRUE(waitUntil([&] { return sim.programText(1, stored).size() >= 2000; }, 10000));
        tool->interrupt();
        const ToolRun r = tool->finish();
        EXPECT_EQ(r.status, 130) << qPrintable(r.err);
        if (args.first() == "send") {
            EXPECT_EQ(sim.requestCount('d', 4), ends + 1) << "the transfer was ended";
        }
        const QJsonObject json = r.json();
        const QByteArray held = sim.programText(1, stored);
        EXPECT_LT(held.size(), text.size()) << "stopped midway";
        EXPECT_GT(json.value("acknowledged").toInt(), 0);
        EXPECT_LE(json.value("acknowledged").toInt(), held.size()) << "only what the controller holds";
        const int line = json.value("resumeFromLine").toInt();
        EXPECT_EQ(line, text.left(json.value("acknowledged").toInt()).count('\n') + 1);

        // A stored program is completed in place; a stream goes on with the modal state first.
        sim.clearScripts();
        int start = 0;
        for (int n = 1; n < line; ++n)
            start = text.indexOf('\n', start) + 1;
        if (args.first() == "send") {
            const ToolRun resumed = runHere({"send", file, "--name", "O7", "--from-line", QString::number(line)});
            EXPECT_EQ(resumed.status, 0) << qPrintable(resumed.err);
            EXPECT_EQ(sim.programText(1, "O7"), text) << "the program is whole";
            continue;
        }
        const ToolRun resumed = runHere({"stream", file, "--from-line", QString::number(line),
                                         "--preamble", writeFile("modal.nc", "G21 G54 S1000 M3")});
        EXPECT_EQ(resumed.status, 0) << qPrintable(resumed.err);
        EXPECT_TRUE(sim.programText(1, "DNC").endsWith("G21 G54 S1000 M3\n" + text.mid(start)));
    }
}

TEST_F(CnccommTest, TheSimulatorProgramAsAControllerToDevelopAgainst)
{
    SimulatorProcess program;
    ASSERT_TRUE(program.start([](const QStringList&) {
        return QStringList{"--run-time", "0.2", "--inject", "error 1 E9001 door open", "--inject", "emergency-stop 3"};
    })) << program.errors().constData();
    const auto at = [&](const QStringList& args) { return run(QStringList{"--host", program.address()} + args); };
    EXPECT_EQ(at({"write", "2000010=77"}).status, 0);
    EXPECT_EQ(at({"read", "2000010"}).outLines().value(0), "2000010 = 77");
    EXPECT_TRUE(at({"errors"}).out.contains("E9001 door open"));
    EXPECT_EQ(at({"jog", "1", "--distance", "5"}).status, 0) << "only channel 3 is stopped";
    EXPECT_EQ(at({"jog", "1", "--distance", "5", "--channel", "3"}).status, 4);
#ifdef ACM_FIRST_STEPS_PROGRAM
    for (int time = 1; time <= 2; ++time) {
        QProcess firstSteps;
        firstSteps.start(QStringLiteral(ACM_FIRST_STEPS_PROGRAM), {program.address()});
        ASSERT_TRUE(firstSteps.waitForFinished(20000));
        EXPECT_EQ(firstSteps.exitCode(), 0) << "the README's first program, run " << time << " times";
    }
#endif
    // A started program ends by itself after its run time.
    const QString file = writeFile("P5", "G1 X1\n");
    ASSERT_EQ(at({"send", file, "--start"}).status, 0);
    EXPECT_EQ(at({"send", file}).status, 4) << "refused while it runs";
    EXPECT_TRUE(waitUntil([&] { return at({"send", file}).status == 0; }, 10000)) << "it never ended";

    // The simulator program's refusals to start, with what it says.
    const std::pair<QStringList, QString> rows[] = {
        {{"--inject", "r channel 0 state 3"}, "channel 0: requests 'r' go to channels from 1 on"},
        {{"--listen", sim.address()}, "cannot listen on " + sim.address() + ":60000: The bound address is already in use"},
        {{"--run-time", "-1"}, "--run-time: '-1' is not a number of seconds"},
    };
    for (const auto& [args, says] : rows) {
        QProcess process;
        process.start(QStringLiteral(ACM_SIMULATOR_PROGRAM), args);
        ASSERT_TRUE(process.waitForFinished(10000)) << qPrintable(args.join(' '));
        EXPECT_NE(process.exitCode(), 0) << qPrintable(args.join(' '));
        EXPECT_TRUE(process.readAllStandardError().contains(says.toUtf8())) << qPrintable(args.join(' '));
    }
}

// The FTP server and the simulated controller (with its sync service) share one address.
class CnccommFtpTest : public CnccommTest
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        for (int first = 100; first < 250;) {
            ASSERT_TRUE(server.start(FtpServerProcess::Options(), first)) << "pyftpdlib did not start (" ACM_FTP_PYTHON ")";
            if (sim.start(server.address()))
                break;
            first = server.hostNumber() + 1;
        }
        ASSERT_EQ(sim.address(), server.address());
        ASSERT_TRUE(sim.startSyncService());
    }
    QString rootPath(const QString& path) const { return server.rootHome() + path; }

    FtpServerProcess server;
};

TEST_F(CnccommFtpTest, UploadsGoIntoTheChannelsFoldersWithProgressAndRefusalsEndAtOnce)
{
    for (const char* folder : {"/veko/usr/sys0002/program", "/veko/usr/sys0002/plc"})
        ASSERT_TRUE(QDir().mkpath(rootPath(folder)));
    ASSERT_TRUE(QDir().mkpath(server.ftpHome() + "/updata"));
    const QByteArray first = countingBytes(300000), second = countingBytes(1000);
    const ToolRun r = runHere({"--channel", "2", "upload", writeFile("a.nc", first), writeFile("b.nc", second)});
    EXPECT_EQ(r.status, 0) << qPrintable(r.err);
    for (const QString label : {"upload a.nc", "upload b.nc"})
        EXPECT_TRUE(risingPercents(r.err, label)) << qPrintable(r.err);
    EXPECT_EQ(r.err.count("ftpUploadFile: result 0"), 2);
    EXPECT_TRUE(waitUntil([&] { return sim.syncCount() == 2; }, 2000)) << "the controller was told of each file";
    const struct
    {
        QStringList args; // with --timeout 30: a refusal ends at once, before run()'s bound
        int status;
        QString shows;
        QString path; // where the file is then, with these bytes
        QByteArray bytes;
    } rows[] = {
        {{}, 0, "", rootPath("/veko/usr/sys0002/program/a.nc"), first},
        {{}, 0, "", rootPath("/veko/usr/sys0002/program/b.nc"), second},
        {{"--json", "--channel", "2", "upload", "--plc", writeFile("p.plc", "LD X1\n")}, 0, "\"progress\":100",
         rootPath("/veko/usr/sys0002/plc/p.plc"), "LD X1\n"},
        {{"mkdir", "/made"}, 0, "made /made", rootPath("/made"), "<folder>"},
        {{"upload", "--to", "/made", writeFile("x.nc", "G0\n")}, 0, "ftpUploadFileDes: result 0", rootPath("/made/x.nc"), "G0\n"},
        {{"upload", "--system", writeFile("update.bin", second)}, 0, "", server.ftpHome() + "/updata/update.bin", second},
        {{"--channel", "7", "upload", writeFile("c.nc", "G0\n")}, 4, "(the FTP upload failed: ", rootPath("/veko/usr/sys0007"), "<missing>"},
        {{"mkdir", "/no/parent"}, 4, "mkdir /no/parent did not finish", rootPath("/no"), "<missing>"},
        {{"mkdir", "--parents", "/made/a/b"}, 0, "made /made/a/b", rootPath("/made/a/b"), "<folder>"},
        {{"upload", dir.path() + "/gone.nc"}, 7, "gone.nc: No such file or directory", rootPath("/gone.nc"), "<missing>"},
    };
    for (const auto& row : rows) {
        const ToolRun r = row.args.isEmpty() ? ToolRun{0, {}, {}} : runHere(QStringList{"--timeout", "30"} + row.args);
        EXPECT_EQ(r.status, row.status) << qPrintable(row.args.join(' ')) << qPrintable(r.err);
        EXPECT_TRUE((r.out + r.err).contains(row.shows)) << qPrintable(r.out + r.err);
        EXPECT_FALSE(r.err.contains("no progress for")) << qPrintable(r.err);
        EXPECT_EQ(fileBytes(row.path), row.bytes) << qPrintable(row.path);
    }
}
