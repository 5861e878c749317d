// send, start and stream: the program arrives in the controller byte for byte, progress goes
// out as percent lines when stdout is not a terminal, and refusals and stalls end with their
// own exit status.
#include "CnccommFixture.h"

#include <QJsonArray>

#include <algorithm>

namespace {
QByteArray programText(int bytes)
{
    QByteArray text;
    for (int n = 10; text.size() < bytes; n += 10)
        text += "N" + QByteArray::number(n) + " G01 X" + QByteArray::number(n % 97) + " F300\n";
    return text.left(bytes);
}

bool rising(const std::vector<int>& percents)
{
    return std::is_sorted(percents.begin(), percents.end()) && !percents.empty() && percents.back() == 100;
}
}

TEST_F(CnccommTest, SendWritesTheProgramWithProgressAndStartsIt)
{
    const QByteArray text = programText(2000);
    const ToolRun r = runHere({"send", writeFile("part.nc", text), "--name", "O1000", "--start"});
    EXPECT_EQ(r.status, 0) << qPrintable(r.err);
    EXPECT_EQ(sim.programText(1, "O1000"), text);
    const std::vector<int> percents = percentLines(r.out, "send O1000");
    EXPECT_TRUE(rising(percents)) << qPrintable(r.out);
    EXPECT_EQ(percents.size(), 7u) << "0 %, then one line per block of 399 bytes";
    for (const char* line : {"setTransFileType: result 0", "overwrite: result 0", "append: result 0",
                             "sent 2000 bytes in 6 blocks", "fileEnd: result 0", "cycStart: result 0"})
        EXPECT_TRUE(r.out.contains(line)) << line;
    EXPECT_EQ(sim.runningProgram(1), "O1000");

    const ToolRun json = runHere({"--json", "--channel", "2", "send", writeFile("O2.nc", "G0 X1\n")});
    EXPECT_EQ(json.status, 0);
    EXPECT_EQ(json.outLines().size(), 1) << "no progress lines beside the JSON object";
    EXPECT_EQ(json.json().value("name").toString(), "O2.nc");
    EXPECT_EQ(json.json().value("bytes").toInt(), 6);
    EXPECT_EQ(sim.programText(2, "O2.nc"), "G0 X1\n");
}

TEST_F(CnccommTest, SendRefusesTextItCannotSend)
{
    const ToolRun eightBit = runHere({"send", writeFile("umlaut.nc", "G0 X1 (Fr\xC3\xA4se)\n")});
    EXPECT_EQ(eightBit.status, 7);
    EXPECT_TRUE(eightBit.err.contains("byte 0xc3 at offset 9")) << qPrintable(eightBit.err);
    const ToolRun missing = runHere({"send", dir.path() + "/none.nc"});
    EXPECT_EQ(missing.status, 7);
    EXPECT_TRUE(missing.err.contains("cannot read")) << qPrintable(missing.err);
    EXPECT_TRUE(sim.receivedFrames().isEmpty());
}

TEST_F(CnccommTest, SendThatTheControllerRefusesIsControllerRefused)
{
    sim.scriptReply('d', 2, scriptOf(ReplyScript::Status, 1));
    const ToolRun r = runHere({"send", writeFile("big.nc", programText(2000))});
    EXPECT_EQ(r.status, 4);
    EXPECT_TRUE(r.out.contains("append: result 101 (parameters rejected by the controller; writeCncFile: a piece failed)"))
        << qPrintable(r.out);
    EXPECT_TRUE(r.err.contains("the transfer stopped after 399 of 2000 bytes")) << qPrintable(r.err);
}

TEST_F(CnccommTest, StartOfAMissingProgramIsControllerRefused)
{
    const ToolRun r = runHere({"start", "O9999"});
    EXPECT_EQ(r.status, 4);
    EXPECT_EQ(r.outLines(), QStringList({"cycStart: result 103 (controller memory full, or the file does not exist)"}));
}

TEST_F(CnccommTest, StreamTakesAProgramThroughTheBuffer)
{
    const QByteArray text = programText(20000);
    const ToolRun dnc = runHere({"stream", writeFile("long.nc", text)});
    EXPECT_EQ(dnc.status, 0) << qPrintable(dnc.err);
    EXPECT_EQ(sim.programText(1, "DNC"), text);
    EXPECT_TRUE(rising(percentLines(dnc.out, "stream long.nc"))) << qPrintable(dnc.out);
    EXPECT_TRUE(dnc.out.contains("getBufState: 5 (")) << qPrintable(dnc.out);

    const ToolRun mdi = runHere({"--json", "--channel", "3", "stream", "--mode", "mdi", writeFile("mdi.nc", "G0 X5\n")});
    EXPECT_EQ(mdi.status, 0) << qPrintable(mdi.err);
    EXPECT_EQ(mdi.json().value("state").toInt(), 5);
    EXPECT_EQ(mdi.json().value("bytes").toInt(), 6);
    EXPECT_EQ(sim.programText(3, "MDI"), "G0 X5\n");
}

TEST_F(CnccommTest, StreamToNothingIsNotConnected)
{
    RefusingAddress nowhere;
    const ToolRun r = run({"--host", nowhere.address(), "stream", writeFile("a.nc", "G0\n")});
    EXPECT_EQ(r.status, 3);
    EXPECT_TRUE(r.err.contains("the buffer stays closed")) << qPrintable(r.err);
}

TEST_F(CnccommTest, AStreamTheControllerKeepsBusyEndsAfterTheTimeout)
{
    sim.setBusyPhases(1, 60000);
    const ToolRun r = runHere({"--timeout", "0.5", "stream", writeFile("busy.nc", programText(3000))});
    EXPECT_EQ(r.status, 5);
    EXPECT_TRUE(r.err.contains("no progress for 0.5 s")) << qPrintable(r.err);
}

TEST_F(CnccommTest, AStreamWhoseDeclarationIsRefusedIsControllerRefused)
{
    sim.scriptReply('d', 1, scriptOf(ReplyScript::Status, 1, 0, -1));
    const ToolRun r = runHere({"--timeout", "0.5", "stream", writeFile("a.nc", "G0\n")});
    EXPECT_EQ(r.status, 4);
    EXPECT_TRUE(r.err.contains("did not take the buffer's declaration within 0.5 s: parameters error.")) << qPrintable(r.err);
}
