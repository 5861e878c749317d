#pragma once
#include <QByteArray>
#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QList>
#include <QString>

class Report;

// A program to send from a line on, after a preamble (units, work offset, spindle, feed): how a
// program interrupted midway is continued. Also tells where to continue after an interruption.
class ProgramResume
{
public:
    static QList<QCommandLineOption> options();
    // Takes --from-line and --preamble; false with the reason when a value is bad.
    bool take(const QCommandLineParser& parser, QString* error);
    // The text to send: the preamble, then the program from the line on. False, reported, when a
    // file cannot be read or the program has fewer lines.
    bool load(const QString& path, QByteArray* text, Report& report);
    // Where the program stands once the controller holds the first acknowledged bytes of the text:
    // the program's whole lines it holds, and the line to continue from; in the report.
    void reportStop(const QByteArray& text, int acknowledged, Report& report) const;

private:
    int m_fromLine = 1;
    QString m_preamble;
    int m_preambleBytes = 0;
};
