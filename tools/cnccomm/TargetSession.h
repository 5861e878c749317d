#pragma once
#include "ErrorReports.h"
#include "Subcommand.h"

// The one target the tool works on: added with the common settings, connected on request,
// and disconnected and removed again when the session ends. Error reports of the controller
// are collected and go into the report, the same ones counted once.
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
    // Opens the target's connections; false (already reported) when that failed. Reports to the
    // link marker that connect writes are warnings: the user asked for no such write.
    bool connect();
    // Connects (again) without calling a failure an error: for a watch that waits for the link.
    bool tryConnect();
    // Moves the error reports that came so far into the report; true when one of them is a
    // refusal (a notice of success is none).
    bool takeErrorReports();
    // The same; the reports, oldest first.
    QList<ErrorReports::Entry> takeErrorReportList();
    // Waits --settle ms for queued commands to go out; the error reports that came meanwhile
    // go into the report. True when a refusal came.
    bool settle();
    // The exit status of a call's result: the controller refused when it sent a refusal (which
    // goes into the report), whatever code the call returned, else the code's own status.
    ExitStatus outcome(int32_t result);

private:
    CommandContext& m_context;
    bool m_added = false;
    bool m_connected = false;
};
