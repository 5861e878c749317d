// cnccomm: commands a CNC controller from the shell through the library's public C interface,
// which it loads at run time; `cnccomm --help` lists the commands and the exit statuses.
#include "CheckCommand.h"
#include "CommandLine.h"
#include "ControlCommand.h"
#include "ErrorsCommand.h"
#include "GetBitCommand.h"
#include "HomeCommand.h"
#include "HostAddress.h"
#include "JogCommand.h"
#include "LibraryLocator.h"
#include "MkdirCommand.h"
#include "PositionCommand.h"
#include "ReadCommand.h"
#include "SendCommand.h"
#include "SetBitCommand.h"
#include "StartCommand.h"
#include "StatusCommand.h"
#include "StopGuard.h"
#include "StreamCommand.h"
#include "UploadCommand.h"
#include "WatchCommand.h"
#include "WriteCommand.h"

#include <QCoreApplication>
#include <QLoggingCategory>

#include <cstdio>

namespace {
std::vector<std::unique_ptr<Subcommand>> allCommands()
{
    std::vector<std::unique_ptr<Subcommand>> commands;
    commands.push_back(std::make_unique<CheckCommand>());
    commands.push_back(std::make_unique<StatusCommand>());
    commands.push_back(std::make_unique<ReadCommand>());
    commands.push_back(std::make_unique<WriteCommand>());
    commands.push_back(std::make_unique<GetBitCommand>());
    commands.push_back(std::make_unique<SetBitCommand>());
    commands.push_back(std::make_unique<JogCommand>());
    commands.push_back(std::make_unique<PositionCommand>());
    commands.push_back(std::make_unique<HomeCommand>());
    commands.push_back(std::make_unique<SendCommand>());
    commands.push_back(std::make_unique<StartCommand>());
    commands.push_back(std::make_unique<StreamCommand>());
    commands.push_back(std::make_unique<ControlCommand>(ControlCommand::Kind::Stop));
    commands.push_back(std::make_unique<ControlCommand>(ControlCommand::Kind::Reset));
    commands.push_back(std::make_unique<ControlCommand>(ControlCommand::Kind::EmergencyStop));
    commands.push_back(std::make_unique<ControlCommand>(ControlCommand::Kind::Alarm));
    commands.push_back(std::make_unique<UploadCommand>());
    commands.push_back(std::make_unique<MkdirCommand>());
    commands.push_back(std::make_unique<ErrorsCommand>());
    commands.push_back(std::make_unique<WatchCommand>());
    return commands;
}

void print(FILE* stream, const QString& text)
{
    std::fputs(text.toUtf8().constData(), stream);
    if (!text.endsWith(QLatin1Char('\n')))
        std::fputc('\n', stream);
}

int printVersion(const CommonSettings& settings)
{
    print(stdout, QStringLiteral("cnccomm %1").arg(QStringLiteral(CNCCOMM_VERSION)));
    LibraryLocator locator(settings.library);
    if (locator.load())
        print(stdout, QStringLiteral("library: %1").arg(locator.loadedPath()));
    else
        print(stdout, QStringLiteral("library: not loaded: %1").arg(locator.error()));
    return int(ExitStatus::Success);
}
}

// Runs the command while the stop guard watches for signals and the deadline.
int runGuarded(Subcommand& command, CommandContext& context)
{
    StopGuard::start(context.common.deadlineSeconds, &context.report);
    const ExitStatus status = command.run(context);
    StopGuard::finish();
    return context.report.finish(status);
}

int main(int argc, char** argv)
{
    StopGuard::blockSignals(); // before any thread starts, so that every thread inherits it
    QCoreApplication app(argc, argv);
    const std::vector<std::unique_ptr<Subcommand>> commands = allCommands();
    const CommandLine line(app.arguments(), commands);
    CommonSettings settings = line.settings();
    const QString commandName = line.command() ? line.command()->name() : QString();
    switch (line.outcome()) {
    case CommandLine::Outcome::Help:
        print(stdout, line.message());
        return int(ExitStatus::Success);
    case CommandLine::Outcome::Version:
        return printVersion(settings);
    case CommandLine::Outcome::Refuse: {
        Report report(settings.json, settings.quiet, commandName);
        report.setTarget(settings.host, settings.port, settings.channel);
        report.error(line.message());
        return report.finish(ExitStatus::Usage);
    }
    case CommandLine::Outcome::Run:
        break;
    }
    if (!settings.verbose)
        QLoggingCategory::setFilterRules(QStringLiteral("acm.debug=false"));
    Report report(settings.json, settings.quiet, commandName);
    report.setTarget(settings.host, settings.port, settings.channel);
    LibraryLocator locator(settings.library);
    if (!locator.load()) {
        report.error(QStringLiteral("%1 (set ACM_LIBRARY or --library to the library's file)").arg(locator.error()));
        return report.finish(ExitStatus::LibraryUnavailable);
    }
    const AcmLibrary& acm = locator.library();
    if ((settings.replyWaitMs && !acm.setReplyTimeout) || (settings.pollIntervalMs && !acm.setPollInterval)) {
        report.error(QStringLiteral("%1 predates --reply-wait and --poll-interval (version ACM_1.1)")
                         .arg(locator.loadedPath()));
        return report.finish(ExitStatus::LibraryUnavailable);
    }
    QString reason;
    if (!settings.isSerial() && !HostAddress::resolve(settings.host, &settings.host, &reason)) {
        report.error(QStringLiteral("cannot resolve %1: %2").arg(settings.host, reason));
        return report.finish(ExitStatus::NotConnected);
    }
    CommandContext context{locator.library(), settings, report};
    return runGuarded(*line.command(), context);
}
