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

QList<QCommandLineOption> ProgramResume::options()
{
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
    const int lines = int(text.mid(m_preambleBytes, programBytes).count('\n'));
    const int next = m_fromLine + lines;
    report.line(QStringLiteral("the controller acknowledged %1 of %2 bytes: %3 whole lines of the program; "
                               "continue with --from-line %4")
                    .arg(acknowledged)
                    .arg(text.size())
                    .arg(lines)
                    .arg(next));
    report.set(QStringLiteral("acknowledged"), acknowledged);
    report.set(QStringLiteral("lines"), lines);
    report.set(QStringLiteral("resumeFromLine"), next);
}
