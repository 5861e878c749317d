#pragma once
#include "ReplyScript.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>

// One failure or condition that the simulator program is told to inject: either how a kind
// of request is answered, or a state the controller is put in before anyone connects.
struct InjectionRule
{
    enum Kind {
        Reply,          // requests of `code` (and `sub`) are answered as `script` says
        BusyPhases,     // numbers: every n-th program block busy, busy time in ms
        DncCapacity,    // numbers: most bytes the DNC memory holds; ms per block the machine runs (0: never)
        RunningProgram, // numbers: channel; `name`: the program it runs
        EmergencyStop,  // numbers: channel
        Alarm,          // numbers: the three values of the alarm read
        Variable,       // numbers: address, value
        Unreadable,     // numbers: the address whose reads and writes are refused
        Counting,       // numbers: first address, how many, ms per step
        ErrorEntry,     // numbers: channel 0..8, 1 for the history file; `name`: the entry's text
    };

    Kind kind = Reply;
    QString controller; // the address of the one controller it is for; empty: every controller
    uint8_t code = 0;
    int sub = -1;       // -1: any sub-code
    ReplyScript script;
    std::array<int32_t, 3> numbers{};
    QByteArray name;
    QString line;       // as it was written, for messages
};
