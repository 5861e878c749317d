#pragma once
#include <QByteArray>

// Texts the library hands to the application, kept per calling thread and per cncID, apart from
// the target's record: each stays valid until the same thread's next call of the same kind for
// the same cncID, whatever other threads do, the target's removal included. A thread's texts go
// with the thread.
namespace CallerTexts {

enum class Kind { RunningProgram, CurrentError };

// Keeps text for the calling thread and returns the kept copy, NUL-terminated.
char* keep(Kind kind, int cncID, const QByteArray& text);

} // namespace CallerTexts
