#include "RequestKind.h"

namespace {
struct Kind
{
    uint8_t code;
    bool hasSub;
    const char* name;
};

const Kind kKinds[] = {
    {'p', false, "watchdog"},          {'A', false, "variables read (range)"}, {'B', false, "variables read"},
    {'D', false, "variables write"},   {'r', true, "jog"},                     {'q', true, "homing"},
    {'t', true, "program control"},    {'f', true, "reset or start by name"},  {'d', true, "program text transfer"},
    {'g', true, "running program"},    {'u', true, "bit"},                     {'v', true, "axes"},
    {'w', true, "handwheel"},          {'x', false, "input bit group"},        {'y', false, "PLC output bit group"},
    {0x80, false, "CNC output bit group"}, {0x81, false, "static address"},    {0x82, true, "fieldbus"},
    {0x83, true, "binary file"},       {0x84, false, "file information"},      {0x85, true, "error text"},
    {'c', true, "error file"},         {'e', true, "controller file read"},    {'i', true, "oscilloscope"},
};

const Kind* find(uint8_t code)
{
    for (const Kind& k : kKinds)
        if (k.code == code)
            return &k;
    return nullptr;
}
}

namespace RequestKind {
bool isSent(uint8_t code)
{
    return find(code) != nullptr;
}

QString describe(uint8_t code, int sub)
{
    const Kind* kind = find(code);
    const QString name = code >= 0x21 && code < 0x7F ? QStringLiteral("'%1'").arg(QChar(code))
                                                     : QStringLiteral("0x%1").arg(code, 2, 16, QLatin1Char('0'));
    if (!kind)
        return name + QStringLiteral(" (unknown)");
    return kind->hasSub ? QStringLiteral("%1 %2 %3").arg(name).arg(sub).arg(QLatin1String(kind->name))
                        : QStringLiteral("%1 %2").arg(name, QLatin1String(kind->name));
}
} // namespace RequestKind
