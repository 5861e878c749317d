#pragma once
#include "ExitStatus.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QString>

#include <cstdint>

// What one run of the tool says: human text on stdout as it happens (diagnostics on stderr),
// or, with --json, one JSON object at the end (and, for streams of events, one object per
// event before it, each on its own line).
class Report
{
public:
    Report(bool json, const QString& command);

    bool json() const { return m_json; }
    // A line of text output; nothing in JSON mode.
    void line(const QString& text);
    // Bytes as they are, for text output (a file's contents); nothing in JSON mode.
    void raw(const QByteArray& bytes);
    // One library call's result code: "function: result N (meaning)" in text, an entry of
    // "calls" in JSON.
    void call(const QString& function, int32_t result);
    // A call that returns true or false.
    void call(const QString& function, bool ok, const QString& meaning);
    // A field of the JSON object.
    void set(const QString& key, const QJsonValue& value);
    void append(const QString& key, const QJsonValue& value);
    // An event of a stream: text line, or one JSON line at once.
    void event(const QString& text, const QJsonObject& object);
    // A failure's reason: on stderr, and as "error" in JSON.
    void error(const QString& message);
    // A controller's error report through the error callback.
    void errorReport(int32_t errorCmd, int32_t cmdState, const QString& detail);
    // Ends the report (the JSON object, with "exitStatus") and gives the process's exit status.
    int finish(ExitStatus status);

private:
    bool m_json;
    QJsonObject m_object;
};
