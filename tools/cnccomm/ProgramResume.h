#pragma once
#include <QByteArray>
#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QList>
#include <QString>

class Report;

// A program sent from a line on: how a program interrupted midway is continued. A stream runs
// as it goes, so it continues after a preamble (units, work offset, spindle, feed); a stored
// program is completed by appending the rest to what the controller holds. Also tells where to
// continue after an interruption.
class ProgramResume
{
public:
    enum class Kind { Stream, Store };

    explicit ProgramResume(Kind kind) : m_kind(kind) {}
    QList<QCommandLineOption> options() const;
    // Takes --from-line (and for a stream --preamble); false with the reason when a value is bad.
    bool take(const QCommandLineParser& parser, QString* error);
    int fromLine() const { return m_fromLine; }
    // The text to send: the preamble, then the program from the line on. False, reported, when a
    // file cannot be read or the program has fewer lines.
    bool load(const QString& path, QByteArray* text, Report& report);
    // Where the program stands once the controller holds the first acknowledged bytes of the text:
    // the program's whole lines it holds, and the line to continue from; noted and in the JSON.
    void reportStop(const QByteArray& text, int acknowledged, Report& report) const;

private:
    Kind m_kind;
    int m_fromLine = 1;
    QString m_preamble;
    int m_preambleBytes = 0;
};
