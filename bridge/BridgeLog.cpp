#include "BridgeLog.h"
#include "Payload.h"

#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>

namespace {
const char* const kNames[] = {"error", "warning", "info", "debug"};
const int kJournalPriorities[] = {3, 4, 6, 7}; // sd-daemon's <N> prefixes
std::atomic<LogLevel> threshold{LogLevel::Info};

// systemd sets JOURNAL_STREAM to "DEVICE:INODE" of the stream it connected to stderr.
bool stderrIsJournal()
{
    const char* stream = std::getenv("JOURNAL_STREAM");
    struct stat status{};
    if (!stream || fstat(2, &status) != 0)
        return false;
    unsigned long long device = 0, inode = 0;
    return std::sscanf(stream, "%llu:%llu", &device, &inode) == 2 && device == status.st_dev &&
           inode == status.st_ino;
}
}

bool parseLogLevel(const std::string& text, LogLevel& level)
{
    for (int i = 0; i < 4; ++i)
        if (text == kNames[i]) {
            level = LogLevel(i);
            return true;
        }
    return false;
}

void setLogLevel(LogLevel level)
{
    threshold = level;
}

void bridgeLog(LogLevel level, const std::string& who, const std::string& what)
{
    if (level > threshold)
        return;
    static const bool journal = stderrIsJournal();
    static std::mutex lock; // one line at a time
    std::lock_guard<std::mutex> guard(lock);
    if (journal)
        std::fprintf(stderr, "<%d>%s: %s\n", kJournalPriorities[int(level)], who.c_str(), what.c_str());
    else
        std::fprintf(stderr, "%s %s %s: %s\n", payload::utcText(std::chrono::system_clock::now()).c_str(),
                     kNames[int(level)], who.c_str(), what.c_str());
    std::fflush(stderr);
}
