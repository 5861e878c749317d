// Every command once per shape, one row each: the command line, what the controller does, the
// literal exit status, what the operator sees and what the controller holds afterwards.
#include "CnccommFixture.h"
#include "ControllerFiles.h"
#include "FrameFields.h"
#include "TransferTestSupport.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>

#include <functional>

namespace {
// "calls: f1,f2" of a JSON result, so that a row can ask for the calls in their order.
QString callsOf(const ToolRun& r)
{
    QStringList names;
    for (const QJsonValue& call : r.json().value("calls").toArray())
        names << call.toObject().value("function").toString();
    return "calls: " + names.join(',');
}

using Arrange = std::function<void(SimulatedController&)>;
void nothing(SimulatedController&) {}
Arrange scripted(uint8_t code, int sub, const ReplyScript& script)
{
    return [=](SimulatedController& s) { s.scriptReply(code, sub, script); };
}

// Runs rows of commands, each against the controller as the row left it (the scripts, stops,
// running programs and held files are cleared first), each with its literal exit status.
struct Row
{
    Arrange arrange;
    QStringList args;
    int status;
    QStringList shows; // in stdout, stderr or the JSON's calls
    std::function<bool(const ToolRun&)> holds = [](const ToolRun&) { return true; };
};
} // namespace

class CnccommTable : public CnccommTest
{
protected:
    void check(const std::vector<Row>& rows)
    {
        for (const auto& row : rows) {
            sim.clearScripts();
            sim.setEmergencyStop(1, false);
            sim.resetChannel(1);
            sim.setRunningProgram(1, QByteArray());
            sim.setBusyPhases(0, 0);
            sim.setDncCapacity(-1);
            sim.setRunTime(5000);
            sim.files()->holdErrorFileRequests(false);
            sim.clearReceived();
            row.arrange(sim);
            const ToolRun r = runHere(row.args);
            const QString seen = r.out + r.err + callsOf(r);
            const QString what = row.args.join(' ') + ": " + seen;
            EXPECT_EQ(r.status, row.status) << qPrintable(what);
            for (const QString& text : row.shows)
                EXPECT_TRUE(seen.contains(text)) << qPrintable(text) << " in " << qPrintable(what);
            EXPECT_TRUE(row.holds(r)) << qPrintable(what);
            EXPECT_FALSE(seen.contains("writeCncFile")) << "a meaning of another call: " << qPrintable(what);
            if (row.status == 2) {
                EXPECT_TRUE(r.err.startsWith("cnccomm: ") && r.err.contains("Try 'cnccomm")) << qPrintable(what);
                EXPECT_EQ(r.out.isEmpty(), !row.args.contains("--json")) << qPrintable(what);
            }
            if (row.status == 2 || row.status == 6 || row.status == 7) {
                EXPECT_TRUE(sim.receivedFrames().isEmpty()) << qPrintable(what) << " sent something";
            }
        }
    }
};

TEST_F(CnccommTable, UsageAndWhatTheControllerCarriesOut)
{
    const QByteArray text2000 = programOf(2000), text20000 = programOf(20000);
    const QString streamed = writeFile("stream.nc", text20000);
    const Arrange running = [](SimulatedController& s) { s.setRunningProgram(1, "P7"); };
    check({
        // The command line alone: status 2, nothing sent.
        {nothing, {}, 2, {"no command given"}},
        {nothing, {"bogus"}, 2, {"unknown command 'bogus'"}},
        {nothing, {"--bogus", "check"}, 2, {"Unknown option 'bogus'"}},
        {nothing, {"check", "extra"}, 2, {"check takes no arguments"}},
        {nothing, {"read"}, 2, {"read needs at least one variable address"}},
        {nothing, {"read", "17000000"}, 2, {"'17000000' is not a variable address (area * 1000000 + index, area 0 to 16"}},
        {nothing, {"read", "-1"}, 2, {"'-1' is not a variable address"}},
        {nothing, {"write", "1170000=1"}, 2, {"'1170000' is not a variable address"}},
        {nothing, {"write", "1000001"}, 2, {"'1000001' is not ADDRESS=VALUE"}},
        {nothing, {"write", "1000001=99999999999"}, 2, {"value: '99999999999' is not a whole number"}},
        {nothing, {"--channel", "0", "read", "1"}, 2, {"read takes a channel from 1 to 99"}},
        {nothing, {"check", "--channel", "100"}, 2, {"--channel: '100' is not a whole number from 0 to 99"}},
        {nothing, {"--timeout", "0", "check"}, 2, {"--timeout: '0' is not a number of seconds"}},
        {nothing, {"--async", "read", "1000001"}, 2, {"--async: read has no asynchronous form"}},
        {nothing, {"check", "--host", "300.1.2.3"}, 2, {"--host: '300.1.2.3' is not an address"}},
        {nothing, {"get-bit", "X", "1"}, 2, {"'X' is not a bit table"}},
        {nothing, {"set-bit", "I", "1", "1"}, 2, {"'I' is not a table whose bits can be set"}},
        {nothing, {"set-bit", "C", "1", "1", "--extra", "3"}, 2, {"--extra needs --cnc"}},
        {nothing, {"jog", "1"}, 2, {"exactly one of --for, --continuous, --distance and --stop"}},
        {nothing, {"jog", "1", "--for", "10", "--stop"}, 2, {"exactly one of --for, --continuous, --distance and --stop"}},
        {nothing, {"jog", "64", "--stop"}, 2, {"axis: '64' is not a whole number from 0 to 63"}},
        {nothing, {"jog", "1", "--distance", "0"}, 2, {"--distance 0 moves nothing"}},
        {nothing, {"jog", "1", "--distance", "5", "--fast"}, 2, {"--fast does not apply"}},
        {nothing, {"jog", "1", "--stop", "--feed", "3"}, 2, {"--feed does not apply"}},
        {nothing, {"set-bit", "C", "1", "2"}, 2, {"value: '2' is not a whole number from 0 to 1"}},
        {nothing, {"get-bit", "I", "-1"}, 2, {"index: '-1' is not a whole number from 0"}},
        {nothing, {"home"}, 2, {"home needs exactly one axis"}},
        {nothing, {"send"}, 2, {"send needs exactly one program file"}},
        {nothing, {"send", "a/b", "--name", "x/y"}, 2, {"'x/y' is not a program name"}},
        {nothing, {"start", "two words"}, 2, {"'two words' is not a program name"}},
        {nothing, {"stream", "f", "--mode", "tape"}, 2, {"--mode: 'tape' is neither dnc nor mdi"}},
        {nothing, {"upload"}, 2, {"upload needs at least one file"}},
        {nothing, {"upload", "f", "--plc", "--system"}, 2, {"--plc, --to and --system exclude each other"}},
        {nothing, {"mkdir"}, 2, {"mkdir needs exactly one folder"}},
        {nothing, {"errors", "--channel", "9"}, 2, {"errors takes a channel from 0 to 8"}},
        {nothing, {"watch", "1000001", "--interval", "5"}, 2, {"--interval: '5' is not a whole number from 10"}},
        {nothing, {"--json", "read", "x"}, 2, {"\"command\":\"read\"", "\"exitStatus\":2", "'x' is not a variable address"}},
        {nothing, {"--library", "libm.so.6", "check"}, 6, {"libm.so.6 has no function addTargetCnc of version ACM_1.0"}},
        {nothing, {"--reply-wait", "99", "check"}, 2, {"--reply-wait: '99' is not a whole number from 100 to 60000"}},
        {nothing, {"--poll-interval", "0", "check"}, 2, {"--poll-interval: '0' is not a whole number from 1 to 60000"}},
        {nothing, {"send", writeFile("umlaut.nc", "G0 X1 (Fr\xC3\xA4se)\n")}, 7, {"byte 0xc3 at offset 9"}},
        {nothing, {"send", dir.path() + "/none.nc"}, 7, {"none.nc: No such file or directory"}},
        // Commands the controller carries out.
        {nothing, {"--channel", "2", "check"}, 0,
         {"connect: true (connected to " + sim.address() + ")\nCheckTcpWdt: result 0 (success, or queued in asynchronous mode)\n"
          "getTcpConnectFlag: true (the controller answered a variable read)\n"},
         [](const ToolRun& r) { return r.out == "link: the controller answers\nprogram: no program running (the channel's program: O0002)\n"; }},
        {nothing, {"--json", "check"}, 0, {"\"connected\":true", "\"probe\":true", "\"program\":{\"name\":\"O0001\",\"state\":\"not running\"}",
                                           "calls: CheckTcpWdt,getTcpConnectFlag,getRuningPrg,getTransFileState", "\"status\":0",
                                           "\"host\":\"" + sim.address() + "\"", "\"port\":60000", "\"channel\":1"}},
        {[](SimulatedController& s) { s.setRunningProgram(1, "P7"); }, {"status"}, 0,
         {"link: the controller answers\nprogram: P7 (running)\nalarm: none\naxis 0 = "}},
        {[](SimulatedController& s) { s.scriptReply('g', -1, scriptOf(ReplyScript::Close)); }, {"check"}, 5, {"program: no reply"}},
        {[](SimulatedController& s) { s.scriptReply('D', -1, rawReply(tcpFrame("\xC4"), -1)); }, {"check"}, 0,
         {"warning: the controller refused the link marker that connect writes"}},
        {nothing, {"-q", "--host", sim.address() + ":60000", "read", "1000001"}, 0, {}, [](const ToolRun& r) { return r.err.isEmpty(); }},
        {nothing, {"write", "1000001=-7", "1000002=42"}, 0, {"writeVars: result 0 (success"},
         [&](const ToolRun&) { return sim.variable(1000001) == -7 && sim.variable(1000002) == 42; }},
        {nothing, {"read", "1000002", "1000001"}, 0, {"readVars: result 0 (success"},
         [](const ToolRun& r) { return r.out == "1000002 = 42\n1000001 = -7\n"; }},
        {nothing, {"read", "--json", "1000001"}, 0, {"\"values\":[{\"address\":1000001,\"value\":-7}]"}},
        {nothing, {"--async", "write", "1000005=9"}, 0, {}, [&](const ToolRun&) { return sim.variable(1000005) == 9; }},
        {nothing, {"set-bit", "C", "5", "1"}, 0, {"setCBit: result 0 (success"}},
        {nothing, {"set-bit", "O", "3", "1", "--cnc", "--extra", "2"}, 0, {}},
        {nothing, {"get-bit", "c", "5", "6"}, 0, {"C 5 = 1\nC 6 = 0\n", "getCBit: result 0 (success"}},
        {nothing, {"set-bit", "O", "4", "1"}, 0, {}},
        {nothing, {"--json", "get-bit", "O", "4"}, 0, {"\"bits\":[{\"index\":4,\"table\":\"O\",\"value\":1}]"}},
        {nothing, {"--json", "get-bit", "O", "3"}, 0, {"\"bits\":[{\"index\":3,\"table\":\"O\",\"value\":1}]"}},
        {nothing, {"jog", "2", "--distance", "500"}, 0, {"jogMotionP_Run: result 0", "position: 500\n"},
         [&](const ToolRun&) { return sim.axisPosition(1, 2) == 500; }},
        {nothing, {"--json", "jog", "2", "--distance", "-200", "--absolute"}, 0,
         {"calls: jogMotionP_Run,jogMotionP_IsStop,getAxisCoord", "\"position\":-200"}},
        {nothing, {"--json", "jog", "3", "--stop"}, 0, {"calls: jogMotionV_Stop,jogMotionP_Stop,getAxisCoord"}},
        {nothing, {"--json", "--channel", "2", "jog", "1", "--for", "300", "--feed", "1000"}, 0,
         {"calls: jogMotionV_Run,jogMotionV_Stop,getAxisCoord"}, [&](const ToolRun& r) {
             const int position = r.json().value("position").toInt(); // 1000 a second for 0.3 s and the stop's trip
             return position >= 250 && position <= 1000 && sim.axisPosition(2, 1) == position;
         }},
        {nothing, {"jog", "0", "--distance", "300"}, 0, {}},
        {nothing, {"jog", "4", "--distance", "10", "--negative"}, 0, {"position: -10\n"}},
        {nothing, {"position", "4", "2"}, 0, {"axis 4 = -10\naxis 2 = -200\n"}},
        {nothing, {"--json", "jog", "5", "--for", "200", "--fast", "--feed", "1000"}, 0, {}, [](const ToolRun& r) {
             return r.json().value("position").toInt() > 1000; // ten times the feed
         }},
        {nothing, {"home", "0"}, 0, {"\naxis 0 homed\n", "position: 0\n"}, [&](const ToolRun&) { return sim.axisPosition(1, 0) == 0; }},
        {nothing, {"--json", "home", "0"}, 0, {"\"homed\":true"}},
        {[](SimulatedController& s) { s.setProgramText(1, "P7", "G1 X1\n"); }, {"start", "P7"}, 0, {},
         [&](const ToolRun&) { return sim.runningProgram(1) == "P7"; }},
        {running, {"stop"}, 0, {}, [&](const ToolRun&) { return sim.runningProgram(1).isEmpty(); }},
        {running, {"reset"}, 0, {}, [&](const ToolRun&) { return sim.runningProgram(1).isEmpty(); }},
        {nothing, {"estop", "on", "--channel", "2"}, 0, {}},
        {nothing, {"--json", "alarm"}, 0, {"\"alarm\":{\"active\":true,\"channel\":2,\"number\":1001}"}},
        {nothing, {"jog", "1", "--distance", "5", "--channel", "2"}, 4, {}},
        {[](SimulatedController& s) { s.setProgramText(2, "P2", "G1 X1\n"); }, {"--channel", "2", "start", "P2"}, 4, {"cycStart: result 102"}},
        {nothing, {"jog", "1", "--distance", "5"}, 0, {}}, // the other channel still moves
        {nothing, {"estop", "off", "--channel", "2"}, 0, {}},
        {nothing, {"jog", "1", "--distance", "5", "--channel", "2"}, 4, {}}, // until the channel is reset
        {nothing, {"reset", "--channel", "2"}, 0, {}},
        {nothing, {"alarm"}, 0, {"alarm: none"}},
        {[](SimulatedController& s) { s.setProgramText(1, "P3", "G1 X1\n"); s.setRunTime(100); }, {"start", "P3", "--wait"}, 0,
         {"P3 has ended"}, [&](const ToolRun&) { return sim.runningProgram(1).isEmpty(); }},
        {nothing, {"send", writeFile("part.nc", text2000), "--name", "O1000", "--start"}, 0,
         {"setTransFileType: result 0", "overwrite: result 0", "append: result 0", "sent 2000 bytes in 6 blocks",
          "fileEnd: result 0", "cycStart: result 0"},
         [&](const ToolRun& r) {
             size_t lines = 0; // 0 %, then one line per block of whole lines
             return sim.programText(1, "O1000") == text2000 && sim.runningProgram(1) == "O1000" &&
                    risingPercents(r.err, "send O1000", &lines) && lines == 7;
         }},
        {nothing, {"--json", "--channel", "2", "send", writeFile("O2.nc", "G0 X1\n")}, 0, {"\"name\":\"O2.nc\"", "\"bytes\":6"},
         [&](const ToolRun& r) { return sim.programText(2, "O2.nc") == "G0 X1\n" && r.outLines().size() == 1; }},
        {nothing, {"stream", streamed}, 0, {"getBufState: 5 ("}, [&](const ToolRun& r) {
             return sim.programText(1, "DNC") == text20000 && risingPercents(r.err, "stream stream.nc");
         }},
        {nothing, {"--json", "--channel", "3", "stream", "--mode", "mdi", writeFile("mdi.nc", "G0 X5\n")}, 0,
         {"\"state\":5", "\"bytes\":6"}, [&](const ToolRun&) { return sim.programText(3, "MDI") == "G0 X5\n"; }},
        {[](SimulatedController& s) {
             s.files()->setErrorFile(1, false, "E1001 overtravel X+\n");
             s.files()->setErrorFile(1, true, "E0007 old\nE0008 older\n");
         },
         {"errors", "--history"}, 0, {"getCncCurrentError: status 0 (success, or queued in asynchronous mode), 22 bytes\n"},
         [](const ToolRun& r) { return r.out == "E0007 old\nE0008 older\n"; }},
        {[](SimulatedController& s) { s.files()->setErrorFile(0, false, "system\n"); }, {"--json", "--channel", "0", "errors"}, 0,
         {"\"fileStatus\":0", "\"text\":\"system\\n\"", "\"bytes\":7"}},
    });
}

TEST_F(CnccommTable, FailuresHaveTheStatusOfTheirCauseAndSayWhatHappened)
{
    const QString program = writeFile("P1", "G0 X1\n");
    const QString longProgram = writeFile("long.nc", programOf(2000));
    // Nothing listens on this port of the controller's address, nor on its FTP port.
    const QStringList nowhere{"--port", "60001"};
    std::vector<Row> rows = {
        // Failures: the status of their cause, the call named with what happened to it.
        {nothing, {"check", "--host", "no.such.host.invalid"}, 3, {"cannot resolve no.such.host.invalid"}},
        {nothing, {"check", "--host", "serial:/dev/acm-none,9601"}, 3, {"addTargetCnc refused the address serial:/dev/acm-none,9601"}},
        {nothing, {"check", "--host", "serial:/dev/acm-none"}, 3, {"cannot connect to serial:/dev/acm-none"}},
        {scripted('B', -1, scriptOf(ReplyScript::Silence)), {"read", "1000001"}, 5, {"readVars: result 111 (no valid reply in time)"}},
        {scripted('D', -1, rawReply(tcpFrame("\xC4"), -1)), {"write", "1000001=1"}, 4, {"the controller reported: errorCmd 6"}},
        {scripted('D', -1, rawReply(tcpFrame("\xC4"), -1)), {"--async", "write", "1000001=1"}, 4, {"errorCmd 6, cmdState 1"}},
        {[](SimulatedController& s) { s.setEmergencyStop(1, true); }, {"jog", "1", "--for", "50"}, 4,
         {"jogMotionV_Run: result 102 (the controller refuses while a program runs or the emergency stop is set"}},
        {[](SimulatedController& s) { s.setRunningProgram(1, "P1"); }, {"send", program}, 4,
         {"(that program is running, so the controller refuses to take a new text for it)"}},
        {nothing, {"start", "O4321"}, 4, {"cycStart: result 103 (the controller has no such file (state 3))"}},
        {scripted('p', -1, scriptOf(ReplyScript::Status, 0)), {"check"}, 4, {"CheckTcpWdt: result 3"}},
        {scripted('B', -1, scriptOf(ReplyScript::Delay, 0, 600)), {"--reply-wait", "300", "read", "1000001"}, 5,
         {"readVars: result 111"}},
        {scripted('q', 3, scriptOf(ReplyScript::Status, 2)), {"home", "1"}, 4, {"homeAxisIsEnd: result 102"}},
        {scripted('u', 2, scriptOf(ReplyScript::Status, 2)), {"set-bit", "S", "1", "1"}, 4, {"setSBit: result 102"}},
        {scripted('d', 2, scriptOf(ReplyScript::Status, 1)), {"send", longProgram}, 4, {"append: result 101", "continue with --from-line"}},
        {scripted('r', 1, scriptOf(ReplyScript::Silence)), {"jog", "6", "--for", "50"}, 5, {"the stop was acknowledged"},
         [&](const ToolRun&) { return !sim.axisMoving(1, 6); }},
        {[](SimulatedController& s) { s.setBusyPhases(2, 0); }, {"send", longProgram, "--name", "B1"}, 0,
         {" times: errorCmd 3, cmdState 2: \"DNC内存已满，此笔数据追加成功\" (DNC memory full: this append block was stored"},
         [&](const ToolRun&) { return sim.programText(1, "B1") == programOf(2000); }},
        {[](SimulatedController& s) { s.setDncCapacity(800); }, {"--timeout", "0.5", "send", longProgram, "--name", "F1"}, 5,
         {"no progress for 0.5 s (--timeout)", "(DNC memory full: this append block was not stored)", "continue with --from-line 34\n"},
         [&](const ToolRun&) { return sim.programText(1, "F1") == programOf(2000).left(774); }},
        {scripted('d', 2, scriptOf(ReplyScript::Close)), {"stream", longProgram}, 3, {"Connection closed by the controller"}},
        {[](SimulatedController& s) { s.setBusyPhases(1, 60000); }, {"--timeout", "0.5", "stream", longProgram}, 5,
         {"no progress for 0.5 s"}},
        {scripted('d', 1, scriptOf(ReplyScript::Status, 1)), {"--timeout", "0.5", "stream", program}, 4,
         {"did not take the buffer's declaration within 0.5 s: parameters error."}},
        {nothing, nowhere + QStringList{"stream", program}, 3, {"the buffer stays closed"}},
        {nothing, {"--timeout", "30", "upload", program}, 3, {"stopped at 0%", "(connecting to the FTP server failed"}}, // at once
        {nothing, {"--channel", "2", "errors"}, 4, {"the controller reported: errorCmd 11"}},
        {[](SimulatedController& s) { s.files()->holdErrorFileRequests(true); }, {"errors"}, 5,
         {"getCncCurrentError: status 8 (error file not ready in time)"}},
        {scripted('B', -1, scriptOf(ReplyScript::Silence)), {"--timeout", "1", "watch", "1000001"}, 5, {" 1000001 stale\n", " link lost\n"}},
    };
    // Nothing answers: every command that connects says so alike.
    for (const QStringList& c : QList<QStringList>{{"check"}, {"read", "1000001"}, {"write", "1000001=1"},
                                                  {"get-bit", "C", "1"}, {"set-bit", "C", "1", "1"}, {"jog", "1", "--stop"},
                                                  {"home", "1"}, {"start", "P1"}, {"errors"}, {"reset"},
                                                  {"watch", "1000001", "--duration", "5"}})
        rows.push_back({nothing, nowhere + c, 3, {"cannot connect to " + sim.address()}});
    check(rows);
}

TEST_F(CnccommTest, HelpIsTheManualPagesAndALibraryThatCannotBeLoadedEndsWithStatusSix)
{
    const ToolRun help = run({"--help"});
    EXPECT_EQ(help.status, 0) << qPrintable(help.err);
    EXPECT_EQ(run({"help"}).out, help.out);
    QFile man(QStringLiteral(CNCCOMM_MAN_PAGE));
    ASSERT_TRUE(man.open(QIODevice::ReadOnly)) << "the manual page is built with the program";
    const QString page = QString::fromUtf8(man.readAll());
    QStringList helps{help.out};
    // Every command's help, with its options and examples, is in the page too.
    const QRegularExpression command(QStringLiteral("^  ([a-z-]+) +[A-Z]"), QRegularExpression::MultilineOption);
    for (auto it = command.globalMatch(help.out.section("Commands:", 1, 1).section("\n\n", 0, 0)); it.hasNext();) {
        const ToolRun own = run({it.next().captured(1), "--help"});
        EXPECT_TRUE(own.out.contains("\nExamples:\n  cnccomm ")) << qPrintable(own.out);
        helps << own.out;
    }
    EXPECT_GE(helps.size(), 21);
    for (const QString& text : helps)
        for (const QString& line : text.split('\n', Qt::SkipEmptyParts))
            EXPECT_TRUE(page.contains(QString(line).replace('\\', "\\e"))) << "the page tells the help: " << qPrintable(line);
    const ToolRun jog = run({"jog", "--help"});
    EXPECT_EQ(jog.status, 0);
    EXPECT_TRUE(jog.out.startsWith("Usage: cnccomm [options] jog")) << qPrintable(jog.out);
    EXPECT_EQ(run({"help", "jog"}).out, jog.out);

    QProcessEnvironment missing = QProcessEnvironment::systemEnvironment();
    missing.insert("ACM_LIBRARY", "/nonexistent/libAsyncCommModule.so.1");
    const ToolRun byEnvironment = run({"--host", sim.address(), "check"}, missing);
    EXPECT_EQ(byEnvironment.status, 6);
    EXPECT_TRUE(byEnvironment.err.contains("cannot load /nonexistent/libAsyncCommModule.so.1")) << qPrintable(byEnvironment.err);
    EXPECT_TRUE(run({"--version"}, missing).out.contains("library: not loaded: cannot load /nonexistent"));
    // --library wins over the environment.
    EXPECT_EQ(run({"--host", sim.address(), "--library", ACM_SHARED_LIBRARY, "check"}, missing).status, 0);
    QProcessEnvironment host = QProcessEnvironment::systemEnvironment();
    host.insert("CNCCOMM_HOST", sim.address() + ":60000");
    EXPECT_EQ(run({"--json", "read", "1000001"}, host).json().value("host").toString(), sim.address());
}
