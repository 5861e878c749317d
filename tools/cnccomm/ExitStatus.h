#pragma once
#include <QString>

#include <cstdint>

// The process's exit status, one per kind of failure, so that scripts can tell them apart.
enum class ExitStatus : int {
    Success = 0,
    LibraryRefused = 1,     // result 1, 4, 6, 9, 10: the library refused the request itself
    Usage = 2,              // a bad command line
    NotConnected = 3,       // nothing answered at the address, or the link went down (result 7)
    ControllerRefused = 4,  // the controller answered with a failure (3, 5, 100 + s, 101 ... 200)
    NoReply = 5,            // no valid reply in time (111), or a wait that ran out
    LibraryUnavailable = 6, // the library could not be loaded
    LocalFile = 7,          // a local file could not be read, or its text cannot be sent
    Unfinished = 8,         // an FTP upload or a stream stopped before its end
    Interrupted = 130,      // SIGINT or SIGTERM ended a transfer midway (128 + SIGINT, as shells do)
};

// The exit status that a result code of the library stands for.
ExitStatus exitStatusForResult(int32_t result);

// The "Exit status" section of the help text.
QString exitStatusHelp();
