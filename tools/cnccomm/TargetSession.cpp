#include "TargetSession.h"

#include "ErrorReports.h"

#include <QThread>

namespace {
// Bit 0: the target-level client; bit k: channel k's client, for channels up to 30.
constexpr int kTargetLevelBit = 1;
constexpr int kHighestMaskChannel = 30;

int asyncMaskFor(bool asynchronous, int channel)
{
    if (!asynchronous)
        return 0;
    return kTargetLevelBit | (channel <= kHighestMaskChannel ? 1 << channel : 0);
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
}

TargetSession::~TargetSession()
{
    if (m_connected)
        m_context.acm.disconnect(kTargetId);
    if (m_added)
        m_context.acm.removeTargetCnc(kTargetId);
}

bool TargetSession::connect()
{
    m_connected = m_added && m_context.acm.connect(kTargetId);
    m_context.report.set(QStringLiteral("connected"), m_connected);
    if (!m_connected)
        m_context.report.error(QStringLiteral("cannot connect to %1: nothing answers on its command port, or it "
                                              "refused the connection")
                                   .arg(m_context.common.host));
    return m_connected;
}

bool TargetSession::takeErrorReports()
{
    const QList<ErrorReports::Entry> reports = ErrorReports::take();
    for (const ErrorReports::Entry& e : reports)
        m_context.report.errorReport(e.errorCmd, e.cmdState, e.detail);
    return !reports.isEmpty();
}

QString TargetSession::takeErrorReportText()
{
    const QList<ErrorReports::Entry> reports = ErrorReports::take();
    for (const ErrorReports::Entry& e : reports)
        m_context.report.errorReport(e.errorCmd, e.cmdState, e.detail);
    return reports.isEmpty() ? QString() : reports.last().detail;
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
