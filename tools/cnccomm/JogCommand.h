#pragma once
#include "Subcommand.h"

// Jogs one axis of the channel: continuously for a time, by a distance, or stops it.
class JogCommand : public Subcommand
{
public:
    QString name() const override { return QStringLiteral("jog"); }
    QString summary() const override;
    QString syntax() const override { return QStringLiteral("AXIS"); }
    QString details() const override;
    QList<QCommandLineOption> options() const override;
    bool parse(const QCommandLineParser& parser, const CommonSettings& common, QString* error) override;
    ExitStatus run(CommandContext& context) override;

private:
    enum class Kind { Continuous, Incremental, Stop };

    ExitStatus runContinuous(CommandContext& context, int id);
    ExitStatus runIncremental(CommandContext& context, int id);
    ExitStatus runStop(CommandContext& context, int id);

    Kind m_kind = Kind::Stop;
    int32_t m_axis = 0;
    int32_t m_feed = 0;
    bool m_negative = false;
    bool m_fast = false;
    int m_forMs = 0;
    int32_t m_distance = 0;
    bool m_absolute = false;
    bool m_machine = false;
};
