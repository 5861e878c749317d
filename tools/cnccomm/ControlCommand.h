#pragma once
#include "Subcommand.h"

// The operator's buttons for a channel: reset, program stop, the emergency stop, and the alarm.
class ControlCommand : public Subcommand
{
public:
    enum class Kind { Reset, Stop, EmergencyStop, Alarm };

    explicit ControlCommand(Kind kind) : m_kind(kind) {}
    QString name() const override;
    QString summary() const override;
    QString syntax() const override;
    QString details() const override;
    QStringList examples() const override;
    bool parse(const QCommandLineParser& parser, const CommonSettings& common, QString* error) override;
    ExitStatus run(CommandContext& context) override;

private:
    // alarmRead, printed; its result.
    int32_t readAlarm(CommandContext& context, int id);

    Kind m_kind;
    int32_t m_on = 0; // estop: 1 on, 0 off
};
