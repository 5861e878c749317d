#pragma once
#include "InjectionRule.h"

#include <QString>
#include <QStringList>

#include <cstdint>

// Reads one line of failure injection: a request kind and how it is answered, or a
// controller condition, optionally for one controller only. The syntax is in syntax().
class InjectionRuleParser
{
public:
    enum class Outcome { Rule, Blank, Bad };

    explicit InjectionRuleParser(const QString& line);

    Outcome outcome() const { return m_outcome; }
    const InjectionRule& rule() const { return m_rule; }
    // Why the line was refused, naming the word at fault.
    const QString& error() const { return m_error; }

    // The syntax with examples, as the program's help shows it.
    static QString syntax();

private:
    bool parse();
    bool parseRequest(const QString& word);
    bool parseReplyClauses();
    bool parseCondition(const QString& word);
    bool finishReply(bool stateGiven, const QString& delivery, const QByteArray& bytes, bool framed);
    bool fail(const QString& why);

    bool atEnd() const { return m_at >= m_tokens.size(); }
    QString take() { return atEnd() ? QString() : m_tokens.at(m_at++); }
    // The next token as a whole number in [low, high], decimal or 0x-hex; `what` names it in errors.
    bool takeNumber(const QString& what, int64_t low, int64_t high, int64_t* value);
    bool takeAddress(const QString& condition, int64_t* address); // a valid variable address
    bool takeHexBytes(const QString& what, QByteArray* bytes);
    bool expectEnd();

    QStringList m_tokens;
    int m_at = 0;
    Outcome m_outcome = Outcome::Bad;
    InjectionRule m_rule;
    QString m_error;
};
