#pragma once

#include <QDateTime>
#include <QString>
#include <QtGlobal>

#include <functional>

// Process-wide file log for every diagnostic line of the process (the library's own go through
// its "acm" category).
// Switched on and off for the whole process; one file per local hour under
// <cwd>/logs, opened and closed per message so nothing stays open.
namespace CommLog {

// Install (true) or remove (false, back to Qt's default output) the handler.
void setEnabled(bool on);

// Replace the clock used for stamps and file names; an empty function
// restores the real local clock.
void setClockForTesting(std::function<QDateTime()> clock);

// The handler itself; exposed so tests can call it without installing it.
void messageHandler(QtMsgType type, const QMessageLogContext& context, const QString& text);

} // namespace CommLog
