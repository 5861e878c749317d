#include "CnccommFixture.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QRegularExpression>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>

QJsonObject ToolRun::json() const
{
    const QStringList lines = outLines();
    return lines.isEmpty() ? QJsonObject() : QJsonDocument::fromJson(lines.last().toUtf8()).object();
}

QStringList ToolRun::outLines() const
{
    return out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

ToolRun ToolRun::finish(QProcess& process, const QByteArray& outSoFar, int timeoutMs)
{
    ToolRun result;
    if (process.state() == QProcess::NotRunning || !process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(5000);
        ADD_FAILURE() << "cnccomm " << qPrintable(process.arguments().join(' ')) << " did not end within "
                      << timeoutMs << " ms";
        return result;
    }
    result.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromUtf8(outSoFar + process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

BackgroundTool::BackgroundTool(const QStringList& args)
{
    m_process.start(QStringLiteral(CNCCOMM_PROGRAM), args);
    EXPECT_TRUE(m_process.waitForStarted(5000)) << "cnccomm did not start";
}

BackgroundTool::~BackgroundTool()
{
    m_process.kill();
    m_process.waitForFinished(5000);
}

bool BackgroundTool::waitForOutput(const QByteArray& text, int timeoutMs)
{
    QElapsedTimer waited;
    waited.start();
    while (!m_out.contains(text) && waited.elapsed() < timeoutMs && m_process.state() == QProcess::Running) {
        m_process.waitForReadyRead(50);
        m_out += m_process.readAllStandardOutput();
    }
    return m_out.contains(text);
}

void BackgroundTool::interrupt()
{
    ::kill(pid_t(m_process.processId()), SIGINT);
}

RefusingAddress::RefusingAddress()
{
    const uint16_t ports[] = {60000, 21, 60006};
    for (int host = 250; host > 2 && m_address.isEmpty(); --host) {
        const QString address = QStringLiteral("127.0.0.%1").arg(host);
        std::vector<int> held;
        bool bound = true;
        for (uint16_t port : ports) {
            sockaddr_in a{};
            a.sin_family = AF_INET;
            a.sin_port = htons(port);
            inet_pton(AF_INET, qPrintable(address), &a.sin_addr);
            const int fd = socket(AF_INET, SOCK_STREAM, 0);
            if (fd >= 0)
                held.push_back(fd);
            if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
                bound = false;
                break;
            }
        }
        if (bound) {
            m_address = address;
            m_sockets = held;
        } else {
            for (int fd : held)
                close(fd);
        }
    }
    if (m_address.isEmpty())
        ADD_FAILURE() << "no loopback address with its ports free";
}

RefusingAddress::~RefusingAddress()
{
    for (int fd : m_sockets)
        close(fd);
}

void CnccommTest::SetUp()
{
    ASSERT_TRUE(sim.start()) << "no loopback address with port 60000 free";
    ASSERT_TRUE(dir.isValid());
}

ToolRun CnccommTest::run(const QStringList& args, int timeoutMs, const QProcessEnvironment& environment)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(CNCCOMM_PROGRAM), args);
    return ToolRun::finish(process, QByteArray(), timeoutMs);
}

QString CnccommTest::writeFile(const QString& name, const QByteArray& content)
{
    QFile f(dir.path() + QLatin1Char('/') + name);
    if (!f.open(QIODevice::WriteOnly) || f.write(content) != content.size())
        ADD_FAILURE() << "cannot write " << qPrintable(f.fileName());
    return f.fileName();
}

std::vector<int> percentLines(const QString& text, const QString& label)
{
    std::vector<int> out;
    const QRegularExpression line(QStringLiteral("^%1: (\\d+)%$").arg(QRegularExpression::escape(label)),
                                  QRegularExpression::MultilineOption);
    for (auto it = line.globalMatch(text); it.hasNext();)
        out.push_back(it.next().captured(1).toInt());
    return out;
}

bool rising(const std::vector<int>& percents)
{
    return std::is_sorted(percents.begin(), percents.end()) && !percents.empty() && percents.front() == 0 &&
           percents.back() == 100;
}

QByteArray programText(int bytes)
{
    QByteArray text;
    for (int n = 10; text.size() < bytes; n += 10)
        text += "N" + QByteArray::number(n) + " G01 X" + QByteArray::number(n % 97) + " F300\n";
    return text.left(bytes);
}
