#pragma once
#include "ToolRun.h"

#include <QProcess>

// cnccomm running in the background, its output read as it comes, so that a test can act on
// what it has printed.
class BackgroundTool
{
public:
    explicit BackgroundTool(const QStringList& args);
    ~BackgroundTool();
    BackgroundTool(const BackgroundTool&) = delete;
    BackgroundTool& operator=(const BackgroundTool&) = delete;

    // True once stdout holds text; false when timeoutMs passed first.
    bool waitForOutput(const QByteArray& text, int timeoutMs);
    void interrupt(); // SIGINT, as Ctrl-C
    ToolRun finish(int timeoutMs);
    QByteArray outSoFar() const { return m_out; }

private:
    QProcess m_process;
    QByteArray m_out;
};
