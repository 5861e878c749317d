#pragma once
#include "Subcommand.h"

// Jogs one axis of the channel: continuously for a time or until stopped, by a distance, or
// stops it. Whatever ends the jog early (a signal, the deadline, a start without a reply) stops
// the axis first.
class JogCommand : public Subcommand
{
public:
    QString name() const override { return QStringLiteral("jog"); }
    QString summary() const override;
    QString syntax() const override { return QStringLiteral("AXIS"); }
    QString details() const override;
    QStringList examples() const override;
    QList<QCommandLineOption> options() const override;
    bool parse(const QCommandLineParser& parser, const CommonSettings& common, QString* error) override;
    ExitStatus run(CommandContext& context) override;

private:
    enum class Kind { Timed, Continuous, Incremental, Stop };

    // Refuses the options that do not apply to the chosen kind.
    bool refuseInapplicable(const QCommandLineParser& parser, QString* error) const;
    ExitStatus runContinuous(CommandContext& context, int id);
    ExitStatus runIncremental(CommandContext& context, int id);
    ExitStatus runStop(CommandContext& context, int id);
    // Sends the kind's stop (one retry after a lost reply); true when it was acknowledged.
    bool stopAxis(CommandContext& context, int id, bool continuous);
    // After a start that got no valid reply: the axis may move, so it is stopped.
    ExitStatus stopAfterUnknownStart(CommandContext& context, int id, bool continuous, int32_t result);
    // After a stop request (signal, deadline) while the axis moved: stopped, then reported.
    ExitStatus stopOnRequest(CommandContext& context, int id, bool continuous);

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
