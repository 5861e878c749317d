#pragma once
#include "Subcommand.h"

// One look at the controller: the link, the channel's program, the alarm and the first axes.
class StatusCommand : public Subcommand
{
public:
    QString name() const override { return QStringLiteral("status"); }
    QString summary() const override;
    QString syntax() const override { return QString(); }
    QString details() const override;
    QStringList examples() const override;
    bool parse(const QCommandLineParser& parser, const CommonSettings& common, QString* error) override;
    ExitStatus run(CommandContext& context) override;

private:
    // alarmRead, as data; its result.
    int32_t readAlarm(CommandContext& context, int id);
    // getAxesCoord and getAxesMotionStatus of axes 0..3, as data; the first failing result.
    int32_t readAxes(CommandContext& context, int id);
};
