#include "ProgramResume.h"

#include "NumberArgument.h"
#include "ProgramFile.h"
#include "Report.h"

#include <algorithm>
#include <limits>

namespace {
const QString kFromLine = QStringLiteral("from-line");
const QString kPreamble = QStringLiteral("preamble");

// The offset where line (1-based) starts; -1 when the text has fewer lines.
int lineStart(const QByteArray& text, int line)
{
    int offset = 0;
    for (int n = 1; n < line; ++n) {
        offset = text.indexOf('\n', offset) + 1;
        if (offset <= 0 || offset >= text.size())
            return -1;
    }
    return offset;
}
}

QList<QCommandLineOption> ProgramResume::options() const
{
    if (m_kind == Kind::Store)
        return {QCommandLineOption(kFromLine,
                                   QStringLiteral("Complete the stored program: append the file from line N on to what "
                                                  "the controller holds (as an interruption names it; default 1: "
                                                  "replace the program)."),
                                   QStringLiteral("N"))};
    return {QCommandLineOption(kFromLine, QStringLiteral("Send the program from line N on (default 1)."),
                               QStringLiteral("N")),
            QCommandLineOption(kPreamble,
                               QStringLiteral("Send the lines of FILE first (the modal state: units, work offset, "
                                              "spindle, feed)."),
                               QStringLiteral("FILE"))};
}

bool ProgramResume::take(const QCommandLineParser& parser, QString* error)
{
    if (parser.isSet(kFromLine) && !parseInteger(parser.value(kFromLine), 1, std::numeric_limits<int>::max(),
                                                 &m_fromLine, QStringLiteral("--from-line"), error))
        return false;
    if (m_kind == Kind::Stream)
        m_preamble = parser.value(kPreamble);
    return true;
}

bool ProgramResume::load(const QString& path, QByteArray* text, Report& report)
{
    QByteArray program;
    QByteArray preamble;
    if (!readProgramFile(path, &program, report) || (!m_preamble.isEmpty() && !readProgramFile(m_preamble, &preamble, report)))
        return false;
    if (!preamble.isEmpty() && !preamble.endsWith('\n'))
        preamble.append('\n');
    const int start = lineStart(program, m_fromLine);
    if (start < 0) {
        report.error(QStringLiteral("%1 has fewer than %2 lines").arg(path).arg(m_fromLine));
        return false;
    }
    m_preambleBytes = preamble.size();
    *text = preamble + program.mid(start);
    return true;
}

void ProgramResume::reportStop(const QByteArray& text, int acknowledged, Report& report) const
{
    const int programBytes = std::max(0, acknowledged - m_preambleBytes);
    const QByteArray held = text.mid(m_preambleBytes, programBytes);
    const int lines = int(held.count('\n'));
    // A stored program that ends inside a line cannot be completed by appending whole lines.
    const bool partLine = m_kind == Kind::Store && !held.isEmpty() && !held.endsWith('\n');
    const int next = partLine ? 1 : m_fromLine + lines;
    report.say(QStringLiteral("the controller acknowledged %1 of %2 bytes: %3 whole lines of the program; "
                                "continue with --from-line %4%5")
                     .arg(acknowledged)
                     .arg(text.size())
                     .arg(lines)
                     .arg(next)
                     .arg(partLine ? QStringLiteral(" (it holds part of a line: send the program whole again)")
                                   : QString()));
    report.set(QStringLiteral("acknowledged"), acknowledged);
    report.set(QStringLiteral("lines"), lines);
    report.set(QStringLiteral("resumeFromLine"), next);
}
