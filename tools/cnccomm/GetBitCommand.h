#pragma once
#include "Subcommand.h"

#include <vector>

// Reads single bits of one of the controller's I/O tables (getIBit ... getABit).
class GetBitCommand : public Subcommand
{
public:
    QString name() const override { return QStringLiteral("get-bit"); }
    QString summary() const override;
    QString syntax() const override { return QStringLiteral("TABLE INDEX..."); }
    QString details() const override;
    QStringList examples() const override;
    bool parse(const QCommandLineParser& parser, const CommonSettings& common, QString* error) override;
    ExitStatus run(CommandContext& context) override;

private:
    QString m_table;
    std::vector<int32_t> m_indexes;
};
