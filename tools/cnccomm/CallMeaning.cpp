#include "CallMeaning.h"

#include "AsyncCommModuleResults.h"

#include <QFile>
#include <QHash>
#include <QList>
#include <QPair>
#include <QStringList>

namespace {
constexpr int32_t kStateBase = 100;
constexpr int32_t kHighestState = 99;
constexpr int32_t kNoValidReply = 111;
const QString kAnyFunction = QStringLiteral("*");

struct Meanings
{
    QHash<QString, QString> texts;
    QList<QPair<QString, QString>> prefixes;
    QHash<QString, QString> results; // "FUNCTION:CODE"
};

Meanings load()
{
    Meanings m;
    QFile file(QStringLiteral(":/meanings.tsv"));
    if (!file.open(QIODevice::ReadOnly))
        return m;
    for (const QByteArray& raw : file.readAll().split('\n')) {
        const QString line = QString::fromUtf8(raw);
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const QStringList fields = line.split(QLatin1Char('\t'));
        if (fields.size() != 3)
            continue;
        if (fields[0] == QLatin1String("text"))
            m.texts.insert(fields[1], fields[2]);
        else if (fields[0] == QLatin1String("prefix"))
            m.prefixes.append({fields[1], fields[2]});
        else if (fields[0] == QLatin1String("result"))
            m.results.insert(fields[1], fields[2]);
    }
    return m;
}

const Meanings& meanings()
{
    static const Meanings table = load();
    return table;
}
}

QString callMeaning(const QString& function, int32_t result)
{
    const QHash<QString, QString>& results = meanings().results;
    const QString code = QString::number(result);
    for (const QString& f : {function, kAnyFunction}) {
        const auto it = results.constFind(f + QLatin1Char(':') + code);
        if (it != results.constEnd())
            return *it;
    }
    if (result > kStateBase && result <= kStateBase + kHighestState && result != kNoValidReply)
        return QStringLiteral("the controller refused (state %1)").arg(result - kStateBase);
    return QString::fromUtf8(acmResultText(result));
}

QString controllerTextMeaning(const QString& text)
{
    const Meanings& m = meanings();
    const auto it = m.texts.constFind(text);
    if (it != m.texts.constEnd())
        return *it;
    for (const auto& prefix : m.prefixes)
        if (text.startsWith(prefix.first)) {
            const QString detail = text.mid(prefix.first.size()).trimmed();
            return detail.isEmpty() ? prefix.second : prefix.second + QStringLiteral(": ") + detail;
        }
    return QString();
}

QString withMeaning(const QString& text)
{
    const QString meaning = controllerTextMeaning(text);
    return meaning.isEmpty() ? text : QStringLiteral("%1 (%2)").arg(text, meaning);
}
