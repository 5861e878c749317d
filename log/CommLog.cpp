#include "CommLog.h"

#include <QDir>
#include <QFile>
#include <QTextStream>

#include <cstdio>
#include <mutex>

namespace {

// Function-local statics: created on first use, destroyed at exit, and safe
// against static-initialisation order in applications that log early.
std::mutex& handlerLock()
{
    static std::mutex lock;
    return lock;
}

std::function<QDateTime()>& clockSource()
{
    static std::function<QDateTime()> clock;
    return clock;
}

QDateTime now()
{
    const std::function<QDateTime()>& clock = clockSource();
    return clock ? clock() : QDateTime::currentDateTime();
}

} // namespace

namespace CommLog {

void setEnabled(bool on)
{
    qInstallMessageHandler(on ? &messageHandler : nullptr);
}

void setClockForTesting(std::function<QDateTime()> clock)
{
    std::lock_guard<std::mutex> guard(handlerLock());
    clockSource() = std::move(clock);
}

void messageHandler(QtMsgType, const QMessageLogContext&, const QString& text)
{
    std::lock_guard<std::mutex> guard(handlerLock());
    const QDateTime stamp = now();
    // Stamp first, then the text as a plain argument, so a "%1" inside the
    // message is never substituted.
    const QString line = QStringLiteral("%1: %2")
                             .arg(stamp.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz ddd")), text);
    const QString path = QDir::currentPath() + QStringLiteral("/logs/CommLog")
                         + stamp.toString(QStringLiteral("_yyyy-MM-dd-hh")) + QStringLiteral(".txt");
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        QTextStream out(&file);
        out << line << "\r\n";
        out.flush();
        file.close();
    } else {
        const QByteArray utf8 = path.toUtf8();
        std::fwrite(utf8.constData(), 1, static_cast<size_t>(utf8.size()), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    }
}

} // namespace CommLog
