#pragma once
#include "FtpServerProcess.h"
#include "TestSupport.h"
#include "VTeleFileOpreator.h"

#include <QTemporaryDir>

#include <functional>

// Runs this thread's Qt event loop, as an application would, until cond holds or timeoutMs
// has passed; returns cond's final value.
bool runLoopUntil(const std::function<bool()>& cond, int timeoutMs);

// Bytes that differ at every position of a large file, so a lost or repeated block shows.
QByteArray patternBytes(int size, quint32 seed);

QByteArray readWholeFile(const QString& path);

// A real FTP server and a simulated controller on one loopback address that this test
// process has to itself, and a folder for local files.
class FtpTest : public ::testing::Test
{
protected:
    void startHost(const FtpServerProcess::Options& options = FtpServerProcess::Options());
    QString localFile(const QString& name, const QByteArray& content);
    QString localPath(const QString& name) const { return local.path() + QLatin1Char('/') + name; }
    QByteArray rootFile(const QString& path) const { return readWholeFile(server.rootHome() + '/' + path); }

    FtpServerProcess server;
    SimulatedController sim;
    QTemporaryDir local;
};
