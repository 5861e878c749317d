#include "ErrorReports.h"

#include <mutex>

namespace {
std::mutex lock;
QList<ErrorReports::Entry>* entries()
{
    static QList<ErrorReports::Entry> list;
    return &list;
}
}

namespace ErrorReports {
void record(int32_t errorCmd, int32_t cmdState, const char* detail)
{
    std::lock_guard<std::mutex> g(lock);
    entries()->append({errorCmd, cmdState, QString::fromUtf8(detail ? detail : "")});
}
} // namespace ErrorReports

bool ErrorReports::any()
{
    std::lock_guard<std::mutex> g(lock);
    return !entries()->isEmpty();
}

QList<ErrorReports::Entry> ErrorReports::take()
{
    std::lock_guard<std::mutex> g(lock);
    QList<Entry> out;
    out.swap(*entries());
    return out;
}
