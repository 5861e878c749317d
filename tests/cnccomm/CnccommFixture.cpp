#include "CnccommFixture.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>


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

ToolRun CnccommTest::runHere(const QStringList& args, int timeoutMs)
{
    return run(QStringList{QStringLiteral("--host"), sim.address()} + args, timeoutMs);
}

std::unique_ptr<BackgroundTool> CnccommTest::startHere(const QStringList& args)
{
    return std::make_unique<BackgroundTool>(QStringList{QStringLiteral("--host"), sim.address()} + args);
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
