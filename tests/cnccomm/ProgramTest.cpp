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

TEST_F(CnccommTest, AnInterruptedTransferEndsCleanlyAndResumesFromTheLineItNames)
{
    const QByteArray text = programText(20000);
    const QString file = writeFile("long.nc", text);
    const struct
    {
        QStringList args;
        QByteArray stored; // the program's name in the controller
    } rows[] = {{{"send", file, "--name", "O7"}, "O7"}, {{"stream", file}, "DNC"}};
    for (const auto& row : rows) {
        sim.scriptReply('d', 2, scriptOf(ReplyScript::Delay, 0, 100)); // every append takes 0.1 s
        const int ends = sim.requestCount('d', 4);
        auto tool = startHere(QStringList{"--json"} + row.args);
        ASSERT_TRUE(waitUntil([&] { return sim.programText(1, row.stored).size() >= 2000; }, 10000));
        tool->interrupt();
        const ToolRun r = tool->finish(10000);
        EXPECT_EQ(r.status, 130) << qPrintable(r.err);
        if (row.args.first() == "send") {
            EXPECT_EQ(sim.requestCount('d', 4), ends + 1) << "the transfer was ended";
        }
        const QJsonObject json = r.json();
        const QByteArray held = sim.programText(1, row.stored);
        EXPECT_LT(held.size(), text.size()) << "stopped midway";
        EXPECT_GT(json.value("acknowledged").toInt(), 0);
        EXPECT_LE(json.value("acknowledged").toInt(), held.size()) << "only what the controller holds";
        const int line = json.value("resumeFromLine").toInt();
        EXPECT_EQ(line, text.left(json.value("acknowledged").toInt()).count('\n') + 1);

        // Resumed with the modal state first, from the first line not acknowledged whole.
        sim.clearScripts();
        const ToolRun resumed = runHere({"send", file, "--name", "O8", "--from-line", QString::number(line),
                                         "--preamble", writeFile("modal.nc", "G21 G54 S1000 M3")});
        EXPECT_EQ(resumed.status, 0) << qPrintable(resumed.err);
        int start = 0;
        for (int n = 1; n < line; ++n)
            start = text.indexOf('\n', start) + 1;
        EXPECT_EQ(sim.programText(1, "O8"), "G21 G54 S1000 M3\n" + text.mid(start));
    }
}
