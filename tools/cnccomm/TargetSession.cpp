#include "TargetSession.h"

#include "CallMeaning.h"
#include "ErrorReports.h"

#include <QPair>

#include <algorithm>

#include <QThread>

namespace {
// Bit 0: the target-level client; bit k: channel k's client, for channels up to 30.
constexpr int kTargetLevelBit = 1;
constexpr int kHighestMaskChannel = 30;
// Program text blocks answered "stored, memory now full": a notice, the call succeeds.
constexpr int32_t kOverwriteReport = 2;
constexpr int32_t kAppendReport = 3;
constexpr int32_t kStoredButFull = 2;

int asyncMaskFor(bool asynchronous, int channel)
{
    if (!asynchronous)
        return 0;
    return kTargetLevelBit | (channel <= kHighestMaskChannel ? 1 << channel : 0);
}

bool isNotice(const ErrorReports::Entry& e)
{
    return (e.errorCmd == kOverwriteReport || e.errorCmd == kAppendReport) && e.cmdState == kStoredButFull;
}

// The reports in order of first arrival, each with how often it came; true when a refusal is among them.
bool putInto(Report& report, const QList<ErrorReports::Entry>& reports)
{
    QList<QPair<ErrorReports::Entry, int>> counted;
    for (const ErrorReports::Entry& e : reports) {
        auto same = std::find_if(counted.begin(), counted.end(), [&](const QPair<ErrorReports::Entry, int>& c) {
            return c.first.errorCmd == e.errorCmd && c.first.cmdState == e.cmdState && c.first.detail == e.detail;
        });
        if (same == counted.end())
            counted.append({e, 1});
        else
            ++same->second;
    }
    bool refused = false;
    for (const auto& c : counted) {
        report.errorReport(c.first.errorCmd, c.first.cmdState, c.first.detail, c.second, isNotice(c.first));
        refused = refused || !isNotice(c.first);
    }
    return refused;
}
}

TargetSession::TargetSession(CommandContext& context, bool asynchronous) : m_context(context)
{
    const AcmLibrary& acm = context.acm;
    const QByteArray host = context.common.targetAddress().toLocal8Bit();
    m_added = acm.addTargetCnc(kTargetId, context.common.channel, host.constData(),
                               asyncMaskFor(asynchronous, context.common.channel));
    if (m_added)
        acm.setErrCallbackFunc(&ErrorReports::record, kTargetId);
    // In range (the options' check) and present (main's): they cannot fail.
    if (m_added && context.common.replyWaitMs)
        acm.setReplyTimeout(context.common.replyWaitMs, kTargetId);
    if (m_added && context.common.pollIntervalMs)
        acm.setPollInterval(context.common.pollIntervalMs, kTargetId);
}

TargetSession::~TargetSession()
{
    if (m_connected)
        m_context.acm.disconnect(kTargetId);
    if (m_added)
        m_context.acm.removeTargetCnc(kTargetId);
}

bool TargetSession::tryConnect()
{
    m_connected = m_added && m_context.acm.connect(kTargetId);
    m_context.report.set(QStringLiteral("connected"), m_connected);
    for (const ErrorReports::Entry& e : ErrorReports::take())
        m_context.report.warning(QStringLiteral("the controller refused the link marker that connect writes "
                                                "(variable 1110037): errorCmd %1, cmdState %2: \"%3\"")
                                     .arg(e.errorCmd)
                                     .arg(e.cmdState)
                                     .arg(withMeaning(e.detail)));
    return m_connected;
}

bool TargetSession::connect()
{
    if (!tryConnect() && !m_added)
        m_context.report.error(QStringLiteral("addTargetCnc refused the address %1").arg(m_context.common.host));
    else if (!m_connected)
        m_context.report.error(QStringLiteral("cannot connect to %1: nothing answers on its command port, or it "
                                              "refused the connection")
                                   .arg(m_context.common.host));
    return m_connected;
}

bool TargetSession::takeErrorReports()
{
    return putInto(m_context.report, ErrorReports::take());
}

QList<ErrorReports::Entry> TargetSession::takeErrorReportList()
{
    const QList<ErrorReports::Entry> reports = ErrorReports::take();
    putInto(m_context.report, reports);
    return reports;
}

bool TargetSession::settle()
{
    QThread::msleep(static_cast<unsigned long>(m_context.common.settleMs));
    return takeErrorReports();
}

ExitStatus TargetSession::outcome(int32_t result)
{
    return takeErrorReports() ? ExitStatus::ControllerRefused : exitStatusForResult(result);
}
