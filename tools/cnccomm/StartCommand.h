#pragma once
#include "Subcommand.h"

// Starts a program of the channel by name (cycStart).
class StartCommand : public Subcommand
{
public:
    QString name() const override { return QStringLiteral("start"); }
    QString summary() const override;
    QString syntax() const override { return QStringLiteral("NAME"); }
    QString details() const override;
    bool parse(const QCommandLineParser& parser, const CommonSettings& common, QString* error) override;
    ExitStatus run(CommandContext& context) override;

private:
    QByteArray m_name;
};
