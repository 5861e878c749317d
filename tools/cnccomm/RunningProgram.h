#pragma once
#include "Subcommand.h"

// What runs on the channel. getRuningPrg names the channel's program, running or not, so the
// file query (getTransFileState, which only asks) tells whether that program is being executed.
struct RunningProgram
{
    enum class State { NoReply, NoName, Running, Idle, Unknown };
    State state = State::NoReply;
    QString name;

    // Asks the controller; the calls go into the report.
    static RunningProgram read(CommandContext& context, int id);
    // "program: ..." for the data, and the JSON field "program".
    void put(Report& report) const;
};
