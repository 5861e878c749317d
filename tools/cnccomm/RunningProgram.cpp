#include "RunningProgram.h"

#include "ErrorReports.h"

#include <QJsonObject>

namespace {
constexpr int32_t kProgramFile = 1;
constexpr int32_t kBeingExecuted = 102;
const char kNoValidReplyMarker[] = "o"; // getRuningPrg's text when no valid reply came
const char kNeverNamed[] = "Unknown";
}

RunningProgram RunningProgram::read(CommandContext& context, int id)
{
    RunningProgram program;
    const char* text = context.acm.getRuningPrg(context.common.channel, id);
    const QByteArray name = text ? QByteArray(text) : QByteArray(kNoValidReplyMarker);
    context.report.call(QStringLiteral("getRuningPrg"), name != kNoValidReplyMarker,
                        name == kNoValidReplyMarker ? QStringLiteral("no valid reply")
                                                    : QStringLiteral("the controller named \"%1\"").arg(QString::fromLatin1(name)));
    if (name == kNoValidReplyMarker)
        return program;
    program.name = QString::fromLatin1(name);
    if (name.isEmpty() || name == kNeverNamed) {
        program.state = State::NoName;
        return program;
    }
    QByteArray file = name;
    const int32_t asked = context.acm.getTransFileState(kProgramFile, context.common.channel, file.data(), id);
    context.report.call(QStringLiteral("getTransFileState"), asked);
    ErrorReports::take(); // its refusal of a running program is the answer, not a failure
    program.state = asked == kBeingExecuted ? State::Running : asked == 0 ? State::Idle : State::Unknown;
    return program;
}

void RunningProgram::put(Report& report) const
{
    switch (state) {
    case State::NoReply: report.data(QStringLiteral("program: no reply")); break;
    case State::NoName: report.data(QStringLiteral("program: none named")); break;
    case State::Running: report.data(QStringLiteral("program: %1 (running)").arg(name)); break;
    case State::Idle: report.data(QStringLiteral("program: no program running (the channel's program: %1)").arg(name)); break;
    case State::Unknown: report.data(QStringLiteral("program: %1 (whether it runs is not known)").arg(name)); break;
    }
    static const char* const states[] = {"no reply", "none named", "running", "not running", "unknown"};
    report.set(QStringLiteral("program"),
               QJsonObject{{QStringLiteral("name"), state == State::NoReply ? QJsonValue() : QJsonValue(name)},
                           {QStringLiteral("state"), QString::fromLatin1(states[int(state)])}});
    report.set(QStringLiteral("runningProgram"), state == State::Running ? QJsonValue(name) : QJsonValue());
}
