#pragma once
#include "Subcommand.h"

#include <vector>

// Reads the positions of axes of the channel without moving them (getAxisCoord).
class PositionCommand : public Subcommand
{
public:
    QString name() const override { return QStringLiteral("position"); }
    QString summary() const override;
    QString syntax() const override { return QStringLiteral("AXIS..."); }
    QString details() const override;
    QStringList examples() const override;
    bool parse(const QCommandLineParser& parser, const CommonSettings& common, QString* error) override;
    ExitStatus run(CommandContext& context) override;

private:
    std::vector<int32_t> m_axes;
};
