#pragma once
#include "TestSupport.h"

#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <vector>

// One run of the built cnccomm: its exit status and what it printed.
struct ToolRun
{
    int status = -1;
    QString out;
    QString err;
    // The last line of stdout as a JSON object (empty when it is none).
    QJsonObject json() const;
    QStringList outLines() const;
};

// Runs cnccomm against a simulated controller of this test process, on a loopback address of
// its own.
class CnccommTest : public ::testing::Test
{
protected:
    void SetUp() override;

    // cnccomm with the arguments; the test fails when it does not end within timeoutMs.
    ToolRun run(const QStringList& args, int timeoutMs = 20000,
                const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment());
    // The same, with --host of the simulator in front.
    ToolRun runHere(const QStringList& args, int timeoutMs = 20000);
    QString writeFile(const QString& name, const QByteArray& content);
    // cnccomm started in the background (with --host of the simulator in front); the caller
    // waits for it with finish().
    std::unique_ptr<QProcess> startHere(const QStringList& args);
    ToolRun finish(QProcess& process, int timeoutMs);

    SimulatedController sim;
    QTemporaryDir dir;
};

// A loopback address whose command, FTP and sync ports this object holds bound but not
// listening: a connection there is refused at once, and no other test can take the ports.
class RefusingAddress
{
public:
    RefusingAddress();
    ~RefusingAddress();
    RefusingAddress(const RefusingAddress&) = delete;
    RefusingAddress& operator=(const RefusingAddress&) = delete;
    QString address() const { return m_address; }

private:
    QString m_address;
    std::vector<int> m_sockets;
};

// The percentages of the lines "LABEL: N%" in text, in order.
std::vector<int> percentLines(const QString& text, const QString& label);
