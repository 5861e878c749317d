#pragma once
#include "Subcommand.h"

// Shows a channel's current or historical error file (getCncCurrentError).
class ErrorsCommand : public Subcommand
{
public:
    QString name() const override { return QStringLiteral("errors"); }
    QString summary() const override;
    QString syntax() const override { return QString(); }
    QString details() const override;
    QStringList examples() const override;
    QList<QCommandLineOption> options() const override;
    int lowestChannel() const override { return 0; }
    int highestChannel() const override { return 8; }
    bool parse(const QCommandLineParser& parser, const CommonSettings& common, QString* error) override;
    ExitStatus run(CommandContext& context) override;

private:
    bool m_history = false;
};
