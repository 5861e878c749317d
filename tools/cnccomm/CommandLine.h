#pragma once
#include "CommonSettings.h"
#include "Subcommand.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

// The tool's command line: common options, then a subcommand with its own options and
// arguments (common options may also follow the subcommand's name). Says what to do: run the
// subcommand, print help or the version, or refuse the line with the reason.
class CommandLine
{
public:
    enum class Outcome { Run, Help, Version, Refuse };

    CommandLine(const QStringList& arguments, const std::vector<std::unique_ptr<Subcommand>>& commands);

    Outcome outcome() const { return m_outcome; }
    // Help text, or the reason for the refusal.
    const QString& message() const { return m_message; }
    // The subcommand to run (also set when refused after its name was read).
    Subcommand* command() const { return m_command; }
    const CommonSettings& settings() const { return m_settings; }

private:
    void parse(const QStringList& arguments);
    void refuse(const QString& reason);
    Subcommand* find(const QString& name) const;
    QString toolHelp() const;
    QString commandHelp(const Subcommand& command) const;
    void addCommon(QCommandLineParser& parser) const;

    const std::vector<std::unique_ptr<Subcommand>>& m_commands;
    Outcome m_outcome = Outcome::Run;
    QString m_message;
    Subcommand* m_command = nullptr;
    CommonSettings m_settings;
};
