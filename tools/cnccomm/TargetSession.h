#pragma once
#include "Subcommand.h"

// The one target the tool works on: added with the common settings, connected on request,
// and disconnected and removed again when the session ends. Error reports of the controller
// are collected and go into the report.
class TargetSession
{
public:
    static constexpr int kTargetId = 1;

    // asynchronous: the target-level client and the channel's client run asynchronously.
    TargetSession(CommandContext& context, bool asynchronous);
    ~TargetSession();
    TargetSession(const TargetSession&) = delete;
    TargetSession& operator=(const TargetSession&) = delete;

    int id() const { return kTargetId; }
    // Opens the target's connections; false (already reported) when that failed.
    bool connect();
    // Moves the error reports that came so far into the report; true when there were any.
    bool takeErrorReports();
    // The same; the last report's text, or empty when none came.
    QString takeErrorReportText();
    // Waits --settle ms for queued commands to go out; the error reports that came meanwhile
    // go into the report. True when there were any.
    bool settle();
    // The exit status of a call's result: the controller refused when it sent error reports
    // (which go into the report), whatever code the call returned, else the code's own status.
    ExitStatus outcome(int32_t result);

private:
    CommandContext& m_context;
    bool m_added = false;
    bool m_connected = false;
};
