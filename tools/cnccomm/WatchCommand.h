#pragma once
#include "Subcommand.h"

#include <optional>
#include <vector>

// Registers variables for the asynchronous poll and prints each change with a time stamp,
// for a given time or until interrupted.
class WatchCommand : public Subcommand
{
public:
    QString name() const override { return QStringLiteral("watch"); }
    QString summary() const override;
    bool takesAsync() const override { return true; }
    QString syntax() const override { return QStringLiteral("ADDRESS..."); }
    QString details() const override;
    QList<QCommandLineOption> options() const override;
    bool parse(const QCommandLineParser& parser, const CommonSettings& common, QString* error) override;
    ExitStatus run(CommandContext& context) override;

private:
    // Reads the cache until the end; prints the first values and every change.
    ExitStatus watch(CommandContext& context, int id);
    // Prints the values that are new, changed or back from stale.
    void showValues(CommandContext& context, const std::vector<int32_t>& values, const QString& now);
    // Marks every value stale that is not yet.
    void markStale(CommandContext& context, const QString& now);
    // Connects the target again and registers the addresses anew; false while it cannot.
    bool reconnect(CommandContext& context, int id);

    std::vector<int32_t> m_addresses;
    double m_durationSeconds = 0; // 0: until interrupted
    int m_intervalMs = 100;
    bool m_reconnect = false;
    std::vector<std::optional<int32_t>> m_shown; // none: not shown yet
    std::vector<bool> m_stale;
    int m_changes = 0;
};
