#include "ToolRun.h"

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QProcess>

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
    const bool finished = process.state() != QProcess::NotRunning && process.waitForFinished(timeoutMs);
    if (!finished) {
        process.kill();
        process.waitForFinished(5000);
        ADD_FAILURE() << "cnccomm " << qPrintable(process.arguments().join(QLatin1Char(' ')))
                      << " did not end within " << timeoutMs << " ms";
        return result;
    }
    result.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromUtf8(outSoFar + process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}
