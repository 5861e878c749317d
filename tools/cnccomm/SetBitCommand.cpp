#include "SetBitCommand.h"

#include "NumberArgument.h"
#include "TargetSession.h"

#include <limits>

namespace {
const QStringList kTables = {QStringLiteral("O"), QStringLiteral("C"), QStringLiteral("S"), QStringLiteral("A")};
const QString kCnc = QStringLiteral("cnc");
const QString kExtra = QStringLiteral("extra");
}

QString SetBitCommand::summary() const
{
    return QStringLiteral("Set a bit of the I/O tables.");
}

QStringList SetBitCommand::examples() const
{
    return {QStringLiteral("cnccomm set-bit C 5 1"), QStringLiteral("cnccomm set-bit O 3 1 --cnc --extra 2")};
}

QString SetBitCommand::details() const
{
    return QStringLiteral("TABLE: O (setPlcOBit; with --cnc setCncOBit), C, S or A (setCBit, setSBit, setABit);\n"
                          "INDEX 0 and up; VALUE 0 or 1. The bit reads back with get-bit of the same table.\n"
                          "JSON fields: calls, errorReports.");
}

QList<QCommandLineOption> SetBitCommand::options() const
{
    return {QCommandLineOption(kCnc, QStringLiteral("Table O: the CNC's output bit (setCncOBit).")),
            QCommandLineOption(kExtra, QStringLiteral("With --cnc: setCncOBit's last value (default 0)."),
                               QStringLiteral("N"))};
}

bool SetBitCommand::parse(const QCommandLineParser& parser, const CommonSettings&, QString* error)
{
    const QStringList args = positionalArguments(parser);
    if (args.size() != 3) {
        *error = QStringLiteral("set-bit needs a table, a bit index and a value.");
        return false;
    }
    m_table = args[0].toUpper();
    if (!kTables.contains(m_table)) {
        *error = QStringLiteral("'%1' is not a table whose bits can be set (O, C, S or A).").arg(args[0]);
        return false;
    }
    int index = 0, value = 0;
    if (!parseInteger(args[1], 0, std::numeric_limits<int32_t>::max(), &index, QStringLiteral("index"), error) ||
        !parseInteger(args[2], 0, 1, &value, QStringLiteral("value"), error))
        return false;
    m_index = index;
    m_value = value;
    m_cncOutput = parser.isSet(kCnc);
    if (m_cncOutput && m_table != QLatin1String("O")) {
        *error = QStringLiteral("--cnc applies to table O only.");
        return false;
    }
    if (parser.isSet(kExtra)) {
        if (!m_cncOutput) {
            *error = QStringLiteral("--extra needs --cnc.");
            return false;
        }
        if (!parseInt32(parser.value(kExtra), &m_extra, QStringLiteral("--extra"), error))
            return false;
    }
    return true;
}

ExitStatus SetBitCommand::run(CommandContext& context)
{
    TargetSession session(context, context.common.async);
    if (!session.connect())
        return ExitStatus::NotConnected;
    const AcmLibrary& acm = context.acm;
    const int32_t channel = context.common.channel;
    const int id = session.id();
    int32_t result = 0;
    QString function;
    if (m_table == QLatin1String("O") && m_cncOutput) {
        function = QStringLiteral("setCncOBit");
        result = acm.setCncOBit(channel, m_index, m_value, m_extra, id);
    } else if (m_table == QLatin1String("O")) {
        function = QStringLiteral("setPlcOBit");
        result = acm.setPlcOBit(channel, m_index, m_value, id);
    } else if (m_table == QLatin1String("C")) {
        function = QStringLiteral("setCBit");
        result = acm.setCBit(channel, m_index, m_value, id);
    } else if (m_table == QLatin1String("S")) {
        function = QStringLiteral("setSBit");
        result = acm.setSBit(channel, m_index, m_value, id);
    } else {
        function = QStringLiteral("setABit");
        result = acm.setABit(channel, m_index, m_value, id);
    }
    context.report.call(function, result);
    if (context.common.async && session.settle())
        return ExitStatus::ControllerRefused;
    return session.outcome(result);
}
