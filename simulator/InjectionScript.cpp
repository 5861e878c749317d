#include "InjectionScript.h"

#include "InjectionRuleParser.h"

#include <QFile>

InjectionScript InjectionScript::fromFile(const QString& path)
{
    InjectionScript script;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        script.m_error = QStringLiteral("cannot read '%1': %2").arg(path, file.errorString());
        return script;
    }
    const QByteArray text = file.read(kMostBytes + 1);
    if (text.size() > kMostBytes) {
        script.m_error = QStringLiteral("'%1' is longer than %2 bytes").arg(path).arg(kMostBytes);
        return script;
    }
    return fromText(text, path);
}

InjectionScript InjectionScript::fromText(const QByteArray& text, const QString& name)
{
    InjectionScript script;
    const QList<QByteArray> lines = text.split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        const InjectionRuleParser parser(QString::fromUtf8(lines.at(i)));
        if (parser.outcome() == InjectionRuleParser::Outcome::Bad) {
            script.m_rules.clear();
            script.m_error = QStringLiteral("%1:%2: %3").arg(name).arg(i + 1).arg(parser.error());
            return script;
        }
        if (parser.outcome() == InjectionRuleParser::Outcome::Rule)
            script.m_rules.append(parser.rule());
    }
    return script;
}
