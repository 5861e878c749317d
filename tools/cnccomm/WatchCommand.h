#pragma once
#include "Subcommand.h"

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

    std::vector<int32_t> m_addresses;
    double m_durationSeconds = 0; // 0: until interrupted
    int m_intervalMs = 100;
};
