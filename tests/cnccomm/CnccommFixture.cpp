#include "CnccommFixture.h"

#include <QFile>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

QJsonObject ToolRun::json() const
{
    const QStringList lines = outLines();
    return lines.isEmpty() ? QJsonObject() : QJsonDocument::fromJson(lines.last().toUtf8()).object();
}

QStringList ToolRun::outLines() const
{
    return out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
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
    return finish(process, timeoutMs);
}

std::unique_ptr<QProcess> CnccommTest::startHere(const QStringList& args)
{
    auto process = std::make_unique<QProcess>();
    process->start(QStringLiteral(CNCCOMM_PROGRAM), QStringList{QStringLiteral("--host"), sim.address()} + args);
    EXPECT_TRUE(process->waitForStarted(5000));
    return process;
}

ToolRun CnccommTest::finish(QProcess& process, int timeoutMs)
{
    ToolRun result;
    const bool finished = process.state() != QProcess::NotRunning && process.waitForFinished(timeoutMs);
    if (!finished) {
        process.kill();
        process.waitForFinished(5000);
        ADD_FAILURE() << "cnccomm " << qPrintable(process.arguments().join(QLatin1Char(' ')))
                      << " did not end within " << timeoutMs << " ms";
        return result;
    }
    result.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

ToolRun CnccommTest::runHere(const QStringList& args, int timeoutMs)
{
    return run(QStringList{QStringLiteral("--host"), sim.address()} + args, timeoutMs);
}

QString CnccommTest::writeFile(const QString& name, const QByteArray& content)
{
    QFile f(dir.path() + QLatin1Char('/') + name);
    if (!f.open(QIODevice::WriteOnly) || f.write(content) != content.size())
        ADD_FAILURE() << "cannot write " << qPrintable(f.fileName());
    return f.fileName();
}

RefusingAddress::RefusingAddress()
{
    const uint16_t ports[] = {60000, 21, 60006};
    for (int host = 250; host > 2 && m_address.isEmpty(); --host) {
        const QString address = QStringLiteral("127.0.0.%1").arg(host);
        std::vector<int> held;
        for (uint16_t port : ports) {
            sockaddr_in a{};
            a.sin_family = AF_INET;
            a.sin_port = htons(port);
            inet_pton(AF_INET, qPrintable(address), &a.sin_addr);
            const int fd = socket(AF_INET, SOCK_STREAM, 0);
            if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
                if (fd >= 0)
                    close(fd);
                break;
            }
            held.push_back(fd);
        }
        if (held.size() == std::size(ports)) {
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

std::vector<int> percentLines(const QString& text, const QString& label)
{
    std::vector<int> out;
    const QRegularExpression line(QStringLiteral("^%1: (\\d+)%$").arg(QRegularExpression::escape(label)),
                                  QRegularExpression::MultilineOption);
    for (auto it = line.globalMatch(text); it.hasNext();)
        out.push_back(it.next().captured(1).toInt());
    return out;
}
