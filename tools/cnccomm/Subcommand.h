#pragma once
#include "AsyncCommModuleLoader.h"
#include "CommonSettings.h"
#include "ExitStatus.h"
#include "Report.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QList>
#include <QString>

// The command line marks arguments that are negative numbers, so that the parser does not take
// them for options; a subcommand reads its arguments through this, which takes the mark off.
constexpr QChar kNegativeNumberMark(0x1f);
inline QStringList positionalArguments(const QCommandLineParser& parser)
{
    QStringList args = parser.positionalArguments();
    for (QString& a : args)
        if (a.startsWith(kNegativeNumberMark))
            a.remove(0, 1);
    return args;
}

// What a subcommand gets to run with.
struct CommandContext
{
    const AcmLibrary& acm;
    const CommonSettings& common;
    Report& report;
};

// One subcommand of the tool: its help, its own options and arguments, and its run.
class Subcommand
{
public:
    virtual ~Subcommand() = default;

    virtual QString name() const = 0;
    // One line for the tool's list of commands.
    virtual QString summary() const = 0;
    // The arguments after the name, for the usage line ("ADDRESS...").
    virtual QString syntax() const = 0;
    // Further lines of its own help: what it prints, which calls it makes.
    virtual QString details() const { return QString(); }
    // Command lines that show it at work, for its help and the manual page.
    virtual QStringList examples() const = 0;
    virtual QList<QCommandLineOption> options() const { return {}; }
    // Whether --async changes what it does.
    virtual bool takesAsync() const { return false; }
    // The channels it works on.
    virtual int lowestChannel() const { return CommonSettings::kFirstChannel; }
    virtual int highestChannel() const { return CommonSettings::kLastChannel; }
    // Takes the arguments and the subcommand's own options, before anything is loaded or
    // connected; false with the reason when the command line is bad.
    virtual bool parse(const QCommandLineParser& parser, const CommonSettings& common, QString* error) = 0;
    virtual ExitStatus run(CommandContext& context) = 0;
};
