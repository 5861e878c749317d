#include "GetBitCommand.h"

#include "NumberArgument.h"
#include "TargetSession.h"

#include <QJsonObject>

#include <limits>

namespace {
const QStringList kTables = {QStringLiteral("I"), QStringLiteral("O"), QStringLiteral("C"), QStringLiteral("S"),
                             QStringLiteral("A")};
using GetBit = CncLong (*)(CncLong, CncLong, CncLong*, int);

GetBit functionOf(const AcmLibrary& acm, const QString& table)
{
    const GetBit functions[] = {acm.getIBit, acm.getOBit, acm.getCBit, acm.getSBit, acm.getABit};
    return functions[kTables.indexOf(table)];
}
}

QString GetBitCommand::summary() const
{
    return QStringLiteral("Read bits of the I/O tables.");
}

QStringList GetBitCommand::examples() const
{
    return {QStringLiteral("cnccomm get-bit I 0 1 2 3"), QStringLiteral("cnccomm --json get-bit O 5")};
}

QString GetBitCommand::details() const
{
    return QStringLiteral("TABLE: I, O, C, S or A (getIBit, getOBit, getCBit, getSBit, getABit); INDEX: the bit's\n"
                          "number in the table. Prints \"TABLE INDEX = VALUE\" per bit and stops at the first call\n"
                          "that fails. JSON fields: bits [{table, index, value}], calls.");
}

bool GetBitCommand::parse(const QCommandLineParser& parser, const CommonSettings&, QString* error)
{
    const QStringList args = positionalArguments(parser);
    if (args.size() < 2) {
        *error = QStringLiteral("get-bit needs a table and at least one bit index.");
        return false;
    }
    m_table = args.first().toUpper();
    if (!kTables.contains(m_table)) {
        *error = QStringLiteral("'%1' is not a bit table (I, O, C, S or A).").arg(args.first());
        return false;
    }
    for (int i = 1; i < args.size(); ++i) {
        int index = 0;
        if (!parseInteger(args[i], 0, std::numeric_limits<int32_t>::max(), &index, QStringLiteral("index"), error))
            return false;
        m_indexes.push_back(index);
    }
    return true;
}

ExitStatus GetBitCommand::run(CommandContext& context)
{
    TargetSession session(context, false);
    if (!session.connect())
        return ExitStatus::NotConnected;
    const GetBit get = functionOf(context.acm, m_table);
    const QString function = QStringLiteral("get%1Bit").arg(m_table);
    int32_t result = 0;
    for (int32_t index : m_indexes) {
        int32_t value = 0;
        result = get(context.common.channel, index, &value, session.id());
        if (result != 0)
            break;
        context.report.data(QStringLiteral("%1 %2 = %3").arg(m_table).arg(index).arg(value));
        context.report.append(QStringLiteral("bits"), QJsonObject{{QStringLiteral("table"), m_table},
                                                                  {QStringLiteral("index"), index},
                                                                  {QStringLiteral("value"), value}});
    }
    context.report.call(function, result);
    return session.outcome(result);
}
