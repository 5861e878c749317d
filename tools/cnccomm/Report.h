#pragma once
#include "ExitStatus.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QString>

#include <cstdint>
#include <mutex>

// What one run of the tool says. Data (values, positions, files, events) goes to stdout; the
// calls made, progress and notes go to stderr (nothing of them with --quiet), and so do warnings
// and errors. With --json stdout holds one JSON object at the end (and, for streams of events,
// one object per event before it, each on its own line). The stop guard may end the run from its
// own thread, so every method takes the report's lock.
class Report
{
public:
    Report(bool json, bool quiet, const QString& command);

    bool json() const { return m_json; }
    // Progress shows only in text mode without --quiet.
    bool showsProgress() const { return !m_json && !m_quiet; }
    // The controller the run addresses, in every JSON object.
    void setTarget(const QString& host, int port, int channel);
    // A line of data on stdout; nothing in JSON mode.
    void data(const QString& text);
    // Bytes as they are on stdout (a file's contents); nothing in JSON mode.
    void raw(const QByteArray& bytes);
    // A note on stderr (what was done, how far it got); nothing in JSON mode or with --quiet.
    void note(const QString& text);
    // A line on stderr that --quiet does not hide (where to resume); nothing in JSON mode.
    void say(const QString& text);
    // One library call's result code: "function: result N (meaning)" as a note, an entry of
    // "calls" in JSON.
    void call(const QString& function, int32_t result);
    // A call that returns true or false.
    void call(const QString& function, bool ok, const QString& meaning);
    // A field of the JSON object.
    void set(const QString& key, const QJsonValue& value);
    void append(const QString& key, const QJsonValue& value);
    // An event of a stream: a data line, or one JSON line at once.
    void event(const QString& text, const QJsonObject& object);
    // Something the user should know that does not decide the outcome: on stderr, and in
    // "warnings" in JSON.
    void warning(const QString& message);
    // A failure's reason: on stderr, and as "error" in JSON.
    void error(const QString& message);
    // A controller's error report that came count times; a notice reports success (a block
    // stored though the memory is now full) and is not a refusal.
    void errorReport(int32_t errorCmd, int32_t cmdState, const QString& detail, int count, bool notice);
    // Ends the report (the JSON object, with "status") and gives the process's exit status.
    int finish(ExitStatus status);
    // The same, from another thread, when the command does not end in time: later output of
    // the command is dropped.
    int abandon(ExitStatus status, const QString& message);

private:
    void print(FILE* stream, const QString& text);
    int finishLocked(ExitStatus status);

    std::mutex m_lock;
    const bool m_json;
    const bool m_quiet;
    bool m_finished = false;
    QJsonObject m_object;
};
