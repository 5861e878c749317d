#pragma once
#include "Subcommand.h"

// Connects, asks for the watchdog, probes the link with a variable read and shows the program
// the channel runs.
class CheckCommand : public Subcommand
{
public:
    QString name() const override { return QStringLiteral("check"); }
    QString summary() const override;
    QString syntax() const override { return QString(); }
    QString details() const override;
    QStringList examples() const override;
    bool parse(const QCommandLineParser& parser, const CommonSettings& common, QString* error) override;
    ExitStatus run(CommandContext& context) override;
};
