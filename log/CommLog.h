#pragma once

#include <QDateTime>
#include <QString>
#include <QtGlobal>

#include <functional>

// The library's hourly log file: while it is switched on, the library's own lines (its "acm"
// category) go to <cwd>/logs, one file per local hour, opened and closed per line so nothing
// stays open. Every other message of the process goes on to the handler that was installed
// before, so the host application's own logging is left as it was.
namespace CommLog {

// Switch the file on (our handler goes in front of whatever handler is installed) or off (that
// handler is put back, unless the application has installed another one over ours since).
void setEnabled(bool on);

// Replace the clock used for stamps and file names; an empty function
// restores the real local clock.
void setClockForTesting(std::function<QDateTime()> clock);

// The handler itself; exposed so tests can call it without installing it.
void messageHandler(QtMsgType type, const QMessageLogContext& context, const QString& text);

} // namespace CommLog
