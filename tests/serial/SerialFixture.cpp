#include "SerialFixture.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QStandardPaths>

const Framing kFramings[2] = {
    {0, 1, "StationCrc"},
    {1, 2, "ColonLrc"},
};

void PrintTo(const Framing& framing, std::ostream* os)
{
    *os << framing.name;
}

std::string framingName(const ::testing::TestParamInfo<Framing>& info)
{
    return info.param.name;
}

void SerialFixture::SetUp()
{
    if (QStandardPaths::findExecutable(QStringLiteral("socat")).isEmpty())
        GTEST_SKIP() << "socat is not on PATH; the serial tests need it to make a pty pair";
    socat.setReadChannel(QProcess::StandardError);
    socat.start(QStringLiteral("socat"), {"-d", "-d", "pty,raw,echo=0", "pty,raw,echo=0"});
    ASSERT_TRUE(socat.waitForStarted(5000));
    // socat -d -d names each end in a line "... PTY is /dev/pts/N".
    const QRegularExpression ptyLine(QStringLiteral("PTY is (\\S+)"));
    QByteArray text;
    QElapsedTimer clock;
    clock.start();
    while (ends.size() < 2 && clock.elapsed() < 5000) {
        socat.waitForReadyRead(100);
        text += socat.readAllStandardError();
        ends.clear();
        for (auto it = ptyLine.globalMatch(QString::fromLocal8Bit(text)); it.hasNext();)
            ends << it.next().captured(1);
    }
    ASSERT_EQ(ends.size(), 2) << "socat did not name two ptys";
    sim.reset(new SimulatedController);
    ASSERT_TRUE(sim->start());
    ASSERT_TRUE(sim->startSerial(end(1), GetParam().frameMode));
    client.reset(new AsynchronousClient);
    ASSERT_TRUE(client->connect232Com(end(0).toLocal8Bit(), GetParam().asciiSel));
}

void SerialFixture::TearDown()
{
    client.reset();
    sim.reset();
    if (socat.state() != QProcess::NotRunning) {
        socat.terminate();
        if (!socat.waitForFinished(2000))
            socat.kill(), socat.waitForFinished(2000);
    }
}
