#pragma once
#include <QString>

#include <cstdint>

// The process's exit status: one per cause, the same for every command and mode, so that scripts
// can tell them apart.
enum class ExitStatus : int {
    Success = 0,
    LibraryRefused = 1,     // result 1, 4, 6, 9, 10, 12: the library refused the request itself
    Usage = 2,              // a bad command line
    NotConnected = 3,       // nothing answered, or the link (command, buffer or FTP) went down or was refused
    ControllerRefused = 4,  // the controller (or its FTP server) answered with a refusal
    NoReply = 5,            // no valid reply in time (111), or a wait that ran out (--timeout, --deadline)
    LibraryUnavailable = 6, // the library could not be loaded
    LocalFile = 7,          // a local file could not be read, or its text cannot be sent
    Interrupted = 130,      // SIGINT, SIGTERM or SIGHUP ended the command (128 + SIGINT, as shells do)
};

// The exit status that a result code of the library stands for.
ExitStatus exitStatusForResult(int32_t result);

// The "Exit status" section of the help text.
QString exitStatusHelp();
