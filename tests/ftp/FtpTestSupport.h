#pragma once
#include "FtpServerProcess.h"
#include "TestSupport.h"
#include "VTeleFileOpreator.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>

// Runs this thread's Qt event loop, as an application would, until cond holds or timeoutMs
// has passed; returns cond's final value.
bool runLoopUntil(const std::function<bool()>& cond, int timeoutMs);

// Bytes that differ at every position of a large file, so a lost or repeated block shows.
QByteArray patternBytes(int size, quint32 seed);

QByteArray readWholeFile(const QString& path);

// Everything one operator reports: state texts, percent signals, finished lists, and its
// progress() as polled on every turn of the event loop (each change once).
class OperatorRecorder : public QObject
{
public:
    explicit OperatorRecorder(VTeleFileOpreator* op);
    bool stopped() const; // the list has ended or stopped
    int stateCount(const QString& text) const;
    // Index of the first state text from index `from` on that starts with prefix; -1 if none.
    int stateIndex(const QString& prefix, int from = 0) const;

    QStringList states;
    QList<int> percents;
    QList<int> finished;
    QList<double> polled;

private:
    void poll();
    QPointer<VTeleFileOpreator> m_op;
};

// A real FTP server and a simulated controller on one loopback address that this test
// process has to itself, and a folder for local files.
class FtpTest : public ::testing::Test
{
protected:
    void startHost(const FtpServerProcess::Options& options = FtpServerProcess::Options());
    QString localFile(const QString& name, const QByteArray& content);
    QString localPath(const QString& name) const;
    QByteArray rootFile(const QString& path) const; // below the "root" user's home
    // Connect to the server and log in.
    QList<FtpCmd> loginList(const QByteArray& user = "root", const QByteArray& password = "470913") const;
    // Runs the list on op until it ends or stops (bounded), recording what it says.
    void runList(VTeleFileOpreator& op, OperatorRecorder& rec, const QList<FtpCmd>& list, int timeoutMs = 20000);

    FtpServerProcess server;
    SimulatedController sim;
    QTemporaryDir local;
};
