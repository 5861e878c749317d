#include "ReadCommand.h"

#include "NumberArgument.h"
#include "TargetSession.h"

#include <QJsonObject>

QString ReadCommand::summary() const
{
    return QStringLiteral("Read controller variables.");
}

QStringList ReadCommand::examples() const
{
    return {QStringLiteral("cnccomm read 1000001 1000002"), QStringLiteral("cnccomm --json read 120138")};
}

QString ReadCommand::details() const
{
    return QStringLiteral("ADDRESS: area * 1000000 + index (area 0..16, index 0..169999), e.g. 1000001.\n"
                          "Prints \"ADDRESS = VALUE\" per variable. JSON fields: values [{address, value}], calls.");
}

bool ReadCommand::parse(const QCommandLineParser& parser, const CommonSettings&, QString* error)
{
    return parseAddresses(positionalArguments(parser), QStringLiteral("read"), &m_addresses, error);
}

ExitStatus ReadCommand::run(CommandContext& context)
{
    TargetSession session(context, false);
    if (!session.connect())
        return ExitStatus::NotConnected;
    std::vector<int32_t> values(m_addresses.size(), 0);
    const int32_t result =
        context.acm.readVars(m_addresses.data(), int(m_addresses.size()), values.data(), session.id());
    if (result == 0) {
        for (size_t i = 0; i < m_addresses.size(); ++i) {
            context.report.data(QStringLiteral("%1 = %2").arg(m_addresses[i]).arg(values[i]));
            context.report.append(QStringLiteral("values"), QJsonObject{{QStringLiteral("address"), m_addresses[i]},
                                                                        {QStringLiteral("value"), values[i]}});
        }
    }
    context.report.call(QStringLiteral("readVars"), result);
    return session.outcome(result);
}
