#include "Report.h"

#include "CallMeaning.h"

#include <QJsonDocument>

#include <cstdio>

namespace {
constexpr int kLibraryPort = 60000;
}

Report::Report(bool json, bool quiet, const QString& command) : m_json(json), m_quiet(quiet)
{
    m_object.insert(QStringLiteral("command"), command);
    m_object.insert(QStringLiteral("calls"), QJsonArray());
}

void Report::print(FILE* stream, const QString& text)
{
    if (m_finished)
        return;
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

void Report::setTarget(const QString& host, int port, int channel)
{
    std::lock_guard<std::mutex> g(m_lock);
    m_object.insert(QStringLiteral("host"), host);
    m_object.insert(QStringLiteral("port"), port == 0 ? kLibraryPort : port);
    m_object.insert(QStringLiteral("channel"), channel);
}

void Report::data(const QString& text)
{
    std::lock_guard<std::mutex> g(m_lock);
    if (!m_json)
        print(stdout, text);
}

void Report::raw(const QByteArray& bytes)
{
    std::lock_guard<std::mutex> g(m_lock);
    if (m_json || m_finished || bytes.isEmpty())
        return;
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    if (!bytes.endsWith('\n'))
        std::fputc('\n', stdout);
    std::fflush(stdout);
}

void Report::note(const QString& text)
{
    std::lock_guard<std::mutex> g(m_lock);
    if (!m_json && !m_quiet)
        print(stderr, text);
}

void Report::say(const QString& text)
{
    std::lock_guard<std::mutex> g(m_lock);
    if (!m_json)
        print(stderr, QStringLiteral("cnccomm: ") + text);
}

void Report::call(const QString& function, int32_t result)
{
    const QString meaning = callMeaning(function, result);
    note(QStringLiteral("%1: result %2 (%3)").arg(function).arg(result).arg(meaning));
    append(QStringLiteral("calls"), QJsonObject{{QStringLiteral("function"), function},
                                                {QStringLiteral("result"), int(result)},
                                                {QStringLiteral("meaning"), meaning}});
}

void Report::call(const QString& function, bool ok, const QString& meaning)
{
    note(QStringLiteral("%1: %2 (%3)").arg(function, ok ? QStringLiteral("true") : QStringLiteral("false"), meaning));
    append(QStringLiteral("calls"), QJsonObject{{QStringLiteral("function"), function},
                                                {QStringLiteral("value"), ok},
                                                {QStringLiteral("meaning"), meaning}});
}

void Report::set(const QString& key, const QJsonValue& value)
{
    std::lock_guard<std::mutex> g(m_lock);
    m_object.insert(key, value);
}

void Report::append(const QString& key, const QJsonValue& value)
{
    std::lock_guard<std::mutex> g(m_lock);
    QJsonArray list = m_object.value(key).toArray();
    list.append(value);
    m_object.insert(key, list);
}

void Report::event(const QString& text, const QJsonObject& object)
{
    std::lock_guard<std::mutex> g(m_lock);
    print(stdout, m_json ? QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)) : text);
}

void Report::warning(const QString& message)
{
    append(QStringLiteral("warnings"), message);
    std::lock_guard<std::mutex> g(m_lock);
    print(stderr, QStringLiteral("cnccomm: warning: ") + message);
}

void Report::error(const QString& message)
{
    std::lock_guard<std::mutex> g(m_lock);
    print(stderr, QStringLiteral("cnccomm: ") + message);
    m_object.insert(QStringLiteral("error"), message);
}

void Report::errorReport(int32_t errorCmd, int32_t cmdState, const QString& detail, int count, bool notice)
{
    const QString meaning = controllerTextMeaning(detail);
    const QString text = QStringLiteral("the controller reported%1: errorCmd %2, cmdState %3: \"%4\"%5")
                             .arg(count > 1 ? QStringLiteral(" %1 times").arg(count) : QString())
                             .arg(errorCmd)
                             .arg(cmdState)
                             .arg(detail, meaning.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(meaning));
    if (notice)
        note(text);
    else {
        std::lock_guard<std::mutex> g(m_lock);
        print(stderr, QStringLiteral("cnccomm: ") + text);
    }
    append(QStringLiteral("errorReports"), QJsonObject{{QStringLiteral("errorCmd"), int(errorCmd)},
                                                       {QStringLiteral("cmdState"), int(cmdState)},
                                                       {QStringLiteral("detail"), detail},
                                                       {QStringLiteral("meaning"), meaning},
                                                       {QStringLiteral("count"), count},
                                                       {QStringLiteral("notice"), notice}});
}

int Report::finishLocked(ExitStatus status)
{
    m_object.insert(QStringLiteral("status"), int(status));
    m_object.insert(QStringLiteral("exitStatus"), int(status)); // the older name, for scripts that read it
    if (m_json)
        print(stdout, QString::fromUtf8(QJsonDocument(m_object).toJson(QJsonDocument::Compact)));
    m_finished = true;
    return int(status);
}

int Report::finish(ExitStatus status)
{
    std::lock_guard<std::mutex> g(m_lock);
    if (m_finished)
        return m_object.value(QStringLiteral("status")).toInt();
    return finishLocked(status);
}

int Report::abandon(ExitStatus status, const QString& message)
{
    std::lock_guard<std::mutex> g(m_lock);
    if (m_finished)
        return m_object.value(QStringLiteral("status")).toInt();
    print(stderr, QStringLiteral("cnccomm: ") + message);
    m_object.insert(QStringLiteral("error"), message);
    return finishLocked(status);
}
