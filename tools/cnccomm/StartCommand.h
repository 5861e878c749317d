#pragma once
#include "Subcommand.h"

// Starts a program of the channel by name (cycStart), and with --wait waits until it has ended.
class StartCommand : public Subcommand
{
public:
    QString name() const override { return QStringLiteral("start"); }
    QString summary() const override;
    QString syntax() const override { return QStringLiteral("NAME"); }
    QString details() const override;
    QStringList examples() const override;
    QList<QCommandLineOption> options() const override;
    bool parse(const QCommandLineParser& parser, const CommonSettings& common, QString* error) override;
    ExitStatus run(CommandContext& context) override;

private:
    // Asks getTransFileState until the program is no longer being executed.
    ExitStatus waitForEnd(CommandContext& context, int id);

    QByteArray m_name;
    bool m_wait = false;
};
