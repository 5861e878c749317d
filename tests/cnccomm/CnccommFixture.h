#pragma once
#include "BackgroundTool.h"
#include "RefusingAddress.h"
#include "TestSupport.h"
#include "ToolRun.h"

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <vector>

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
    // cnccomm in the background, with --host of the simulator in front.
    std::unique_ptr<BackgroundTool> startHere(const QStringList& args);

    SimulatedController sim;
    QTemporaryDir dir;
};

// The percentages of the lines "LABEL: N%" in text, in order.
std::vector<int> percentLines(const QString& text, const QString& label);
