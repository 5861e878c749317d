#pragma once
#include "Subcommand.h"

// Homes one axis of the channel and waits until homing has ended.
class HomeCommand : public Subcommand
{
public:
    QString name() const override { return QStringLiteral("home"); }
    QString summary() const override;
    QString syntax() const override { return QStringLiteral("AXIS"); }
    QString details() const override;
    QStringList examples() const override;
    QList<QCommandLineOption> options() const override;
    bool parse(const QCommandLineParser& parser, const CommonSettings& common, QString* error) override;
    ExitStatus run(CommandContext& context) override;

private:
    ExitStatus waitForEnd(CommandContext& context, int id);

    int32_t m_axis = 0;
    bool m_wait = true;
};
