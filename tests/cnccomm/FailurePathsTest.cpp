// Every way a command fails, one row each: the exit status is its cause's whatever the mode, and
// the message names the call and what happened to it, with the controller's own report.
#include "CnccommFixture.h"
#include "ControllerFiles.h"

#include <functional>

namespace {
// The controller's refusal of a variable write: the write reply's code with its top bit set.
ReplyScript writeRefused()
{
    ReplyScript s;
    s.kind = ReplyScript::Raw;
    const QByteArray pdu("\xC4", 1);
    s.raw = QByteArray(7, '\0') + pdu;
    s.raw[4] = char(pdu.size() + 1); // TCP header: the length of what follows its first 6 bytes
    s.times = -1;
    return s;
}

using Arrange = std::function<void(SimulatedController&)>;
void nothing(SimulatedController&) {}
Arrange scripted(uint8_t code, int sub, const ReplyScript& script)
{
    return [=](SimulatedController& s) { s.scriptReply(code, sub, script); };
}
} // namespace

TEST_F(CnccommTest, EachFailureHasTheStatusOfItsCauseAndSaysWhatHappened)
{
    const QString program = writeFile("P1", "G0 X1\n");
    QByteArray longText;
    for (int n = 0; longText.size() < 3000; ++n)
        longText += "N" + QByteArray::number(n) + " G01 X1 F300\n";
    const QString longProgram = writeFile("long.nc", longText.left(2000));
    const Arrange silentReads = scripted('B', -1, scriptOf(ReplyScript::Silence));
    RefusingAddress nowhere;
    struct Row
    {
        Arrange arrange;
        QStringList args;
        int status;
        QString says;
    };
    std::vector<Row> rows = {
        {nothing, {"read", "17000000"}, 2, "'17000000' is not a variable address (area * 1000000 + index, area 0 to 16"},
        {nothing, {"read", "-1"}, 2, "'-1' is not a variable address"},
        {nothing, {"write", "1170000=1"}, 2, "'1170000' is not a variable address"},
        {nothing, {"check", "--host", "300.1.2.3"}, 2, "--host: '300.1.2.3' is not an address"},
        {nothing, {"check", "--host", "no.such.host.invalid"}, 3, "cannot resolve no.such.host.invalid"},
        {nothing, {"read", "1000001", "--port", "60001"}, 3, "cannot connect to"},
        {silentReads, {"read", "1000001"}, 5, "readVars: result 111 (no valid reply in time)"},
        {scripted('D', -1, writeRefused()), {"write", "1000001=1"}, 4, "the controller reported: errorCmd 6"},
        {scripted('D', -1, writeRefused()), {"--async", "write", "1000001=1"}, 4, "the controller reported: errorCmd 6"},
        {[](SimulatedController& s) { s.setEmergencyStop(1, true); }, {"jog", "1", "--for", "50"}, 4,
         "jogMotionV_Run: result 102 (the controller refuses while a program runs or the emergency stop is set"},
        {[](SimulatedController& s) { s.setRunningProgram(1, "P1"); }, {"send", program}, 4,
         "(that program is running, so the controller refuses to take a new text for it)"},
        {nothing, {"start", "O4321"}, 4, "cycStart: result 103 (the controller has no such file (state 3))"},
        {scripted('p', -1, scriptOf(ReplyScript::Status, 0)), {"check"}, 4, "CheckTcpWdt: result 3"},
        {scripted('q', 3, scriptOf(ReplyScript::Silence)), {"home", "1"}, 5, "homeAxisIsEnd: result 111"},
        {scripted('u', 2, scriptOf(ReplyScript::Status, 2)), {"set-bit", "S", "1", "1"}, 4, "setSBit: result 102"},
        {nothing, {"send", writeFile("umlaut.nc", "G0 X1 (Fr\xC3\xA4se)\n")}, 7, "byte 0xc3 at offset 9"},
        {nothing, {"send", dir.path() + "/none.nc"}, 7, "none.nc: No such file or directory"},
        {scripted('d', 2, scriptOf(ReplyScript::Status, 1)), {"send", longProgram}, 4, "append: result 101"},
        {[](SimulatedController& s) { s.setBusyPhases(1, 60000); }, {"--timeout", "0.5", "stream", longProgram}, 5,
         "no progress for 0.5 s"},
        {scripted('d', 1, scriptOf(ReplyScript::Status, 1)), {"--timeout", "0.5", "stream", program}, 4,
         "did not take the buffer's declaration within 0.5 s: parameters error."},
        {nothing, {"--host", nowhere.address(), "stream", program}, 3, "the buffer stays closed"},
        {nothing, {"--channel", "2", "errors"}, 4, "the controller reported: errorCmd 11"},
        {[](SimulatedController& s) { s.files()->holdErrorFileRequests(true); }, {"errors"}, 5,
         "getCncCurrentError: status 8 (error file not ready in time)"},
    };
    // Nothing answers: every command that connects says so alike.
    for (const QStringList& c : QList<QStringList>{{"check"}, {"read", "1000001"}, {"write", "1000001=1"},
                                                  {"get-bit", "C", "1"}, {"set-bit", "C", "1", "1"}, {"jog", "1", "--stop"},
                                                  {"home", "1"}, {"start", "P1"}, {"errors"}, {"reset"},
                                                  {"watch", "1000001", "--duration", "5"}})
        rows.push_back({nothing, QStringList{"--host", nowhere.address()} + c, 3, "cannot connect to " + nowhere.address()});
    for (const auto& row : rows) {
        sim.clearScripts();
        sim.setEmergencyStop(1, false);
        sim.setRunningProgram(1, QByteArray());
        sim.setDncCapacity(-1);
        sim.setBusyPhases(0, 0);
        sim.files()->holdErrorFileRequests(false);
        sim.clearReceived();
        row.arrange(sim);
        const ToolRun r = runHere(row.args);
        const QString all = r.out + r.err;
        EXPECT_EQ(r.status, row.status) << qPrintable(row.args.join(' ')) << ": " << qPrintable(all);
        EXPECT_TRUE(all.contains(row.says)) << qPrintable(row.args.join(' ')) << ": " << qPrintable(all);
        EXPECT_FALSE(all.contains("writeCncFile")) << "a meaning of another call: " << qPrintable(all);
        if (row.status == 2 || row.status == 7) {
            EXPECT_TRUE(sim.receivedFrames().isEmpty()) << qPrintable(row.args.join(' ')) << " sent something";
        }
    }
}
