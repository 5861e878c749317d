#pragma once
#include "InjectionRule.h"

#include <QByteArray>
#include <QList>
#include <QString>

// A file of failure-injection rules, one per line, '#' comments and blank lines allowed.
// The first bad line refuses the whole file, naming the file and the line.
class InjectionScript
{
public:
    static constexpr int kMostBytes = 1 << 20;

    static InjectionScript fromFile(const QString& path);
    // name stands for the file in messages.
    static InjectionScript fromText(const QByteArray& text, const QString& name);

    bool ok() const { return m_error.isEmpty(); }
    // "NAME:LINE: why", or why the file could not be read.
    const QString& error() const { return m_error; }
    const QList<InjectionRule>& rules() const { return m_rules; }

private:
    QList<InjectionRule> m_rules;
    QString m_error;
};
