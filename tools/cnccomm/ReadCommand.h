#pragma once
#include "Subcommand.h"

#include <vector>

// Reads controller variables in one readVars call.
class ReadCommand : public Subcommand
{
public:
    QString name() const override { return QStringLiteral("read"); }
    QString summary() const override;
    QString syntax() const override { return QStringLiteral("ADDRESS..."); }
    QString details() const override;
    QStringList examples() const override;
    bool parse(const QCommandLineParser& parser, const CommonSettings& common, QString* error) override;
    ExitStatus run(CommandContext& context) override;

private:
    std::vector<int32_t> m_addresses;
};
