#pragma once
#include "Subcommand.h"

#include <QJsonObject>

#include <optional>
#include <vector>

class TargetSession;

// Polls variables and bits of the I/O tables and prints each change with a time stamp, for a
// given time or until interrupted. Each poll is a synchronous call, so that a value whose poll
// failed is known to be stale and a controller that stops answering is a lost link.
class WatchCommand : public Subcommand
{
public:
    QString name() const override { return QStringLiteral("watch"); }
    QString summary() const override;
    QString syntax() const override { return QStringLiteral("ADDRESS|TABLE:INDEX..."); }
    QString details() const override;
    QStringList examples() const override;
    QList<QCommandLineOption> options() const override;
    bool parse(const QCommandLineParser& parser, const CommonSettings& common, QString* error) override;
    ExitStatus run(CommandContext& context) override;

private:
    // One watched thing: a variable, or a bit of a table (I, O, C, S, A).
    struct Watched
    {
        QString table; // empty: a variable
        int32_t number = 0;
        std::optional<int32_t> shown; // none: not shown yet
        bool stale = false;
        QString label() const;
        QJsonObject json(const QString& now) const;
    };
    enum class Poll { Read, Failed, LinkDown };

    // Reads everything once; shows the values that are new, changed or back from stale, and marks
    // the ones whose read failed stale.
    Poll poll(CommandContext& context, int id);
    void show(CommandContext& context, Watched& w, int32_t value, const QString& now);
    void markStale(CommandContext& context, Watched& w, const QString& now);
    void linkEvent(CommandContext& context, const QString& what);
    // Polls until the end; the exit status.
    ExitStatus watch(CommandContext& context, TargetSession& session);
    // Waits --interval, or less when the watch must end.
    void pause(qint64 runningMs) const;
    bool over(qint64 runningMs) const;

    std::vector<Watched> m_watched;
    double m_durationSeconds = 0; // 0: until interrupted
    int m_intervalMs = 100;
    bool m_reconnect = false;
    int m_changes = 0;
};
