#pragma once
#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

class QProcess;

// One run of the built cnccomm: its exit status and what it printed.
struct ToolRun
{
    int status = -1;
    QString out;
    QString err;
    // The last line of stdout as a JSON object (empty when it is none).
    QJsonObject json() const;
    QStringList outLines() const;

    // Waits for process to end (the test fails when it does not within timeoutMs; the process
    // is then killed); outSoFar is what was read of its stdout before.
    static ToolRun finish(QProcess& process, const QByteArray& outSoFar, int timeoutMs);
};
