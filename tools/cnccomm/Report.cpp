#include "Report.h"

#include "CallMeaning.h"

#include <QJsonDocument>

#include <cstdio>

namespace {
void print(FILE* stream, const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}
}

Report::Report(bool json, const QString& command) : m_json(json)
{
    m_object.insert(QStringLiteral("command"), command);
}

void Report::line(const QString& text)
{
    if (!m_json)
        print(stdout, text);
}

void Report::raw(const QByteArray& bytes)
{
    if (m_json || bytes.isEmpty())
        return;
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    if (!bytes.endsWith('\n'))
        std::fputc('\n', stdout);
    std::fflush(stdout);
}

void Report::call(const QString& function, int32_t result)
{
    const QString meaning = callMeaning(function, result);
    line(QStringLiteral("%1: result %2 (%3)").arg(function).arg(result).arg(meaning));
    append(QStringLiteral("calls"), QJsonObject{{QStringLiteral("function"), function},
                                                {QStringLiteral("result"), int(result)},
                                                {QStringLiteral("meaning"), meaning}});
}

void Report::call(const QString& function, bool ok, const QString& meaning)
{
    line(QStringLiteral("%1: %2 (%3)").arg(function, ok ? QStringLiteral("true") : QStringLiteral("false"), meaning));
    append(QStringLiteral("calls"), QJsonObject{{QStringLiteral("function"), function},
                                                {QStringLiteral("value"), ok},
                                                {QStringLiteral("meaning"), meaning}});
}

void Report::set(const QString& key, const QJsonValue& value)
{
    m_object.insert(key, value);
}

void Report::append(const QString& key, const QJsonValue& value)
{
    QJsonArray list = m_object.value(key).toArray();
    list.append(value);
    m_object.insert(key, list);
}

void Report::event(const QString& text, const QJsonObject& object)
{
    if (m_json)
        print(stdout, QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)));
    else
        print(stdout, text);
}

void Report::error(const QString& message)
{
    print(stderr, QStringLiteral("cnccomm: ") + message);
    m_object.insert(QStringLiteral("error"), message);
}

void Report::errorReport(int32_t errorCmd, int32_t cmdState, const QString& detail)
{
    const QString meaning = controllerTextMeaning(detail);
    print(stderr, QStringLiteral("cnccomm: the controller reported: errorCmd %1, cmdState %2: \"%3\"%4")
                      .arg(errorCmd)
                      .arg(cmdState)
                      .arg(detail, meaning.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(meaning)));
    append(QStringLiteral("errorReports"), QJsonObject{{QStringLiteral("errorCmd"), int(errorCmd)},
                                                       {QStringLiteral("cmdState"), int(cmdState)},
                                                       {QStringLiteral("detail"), detail},
                                                       {QStringLiteral("meaning"), meaning}});
}

int Report::finish(ExitStatus status)
{
    m_object.insert(QStringLiteral("exitStatus"), int(status));
    if (m_json)
        print(stdout, QString::fromUtf8(QJsonDocument(m_object).toJson(QJsonDocument::Compact)));
    return int(status);
}
