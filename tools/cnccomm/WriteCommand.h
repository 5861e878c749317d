#pragma once
#include "Subcommand.h"

#include <vector>

// Writes controller variables in one writeVars call; with --async the batch is queued.
class WriteCommand : public Subcommand
{
public:
    QString name() const override { return QStringLiteral("write"); }
    QString summary() const override;
    bool takesAsync() const override { return true; }
    QString syntax() const override { return QStringLiteral("ADDRESS=VALUE..."); }
    QString details() const override;
    QStringList examples() const override;
    bool parse(const QCommandLineParser& parser, const CommonSettings& common, QString* error) override;
    ExitStatus run(CommandContext& context) override;

private:
    std::vector<int32_t> m_addresses;
    std::vector<int32_t> m_values;
};
