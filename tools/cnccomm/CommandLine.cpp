#include "CommandLine.h"

#include "ExitStatus.h"

#include <QRegularExpression>

namespace {
const QString kHelp = QStringLiteral("help");
const QString kVersion = QStringLiteral("version");

QCommandLineOption helpOption()
{
    return QCommandLineOption({QStringLiteral("h"), kHelp}, QStringLiteral("Print this help and exit."));
}

// QCommandLineParser names the program as it was started; the help names it plainly.
QString withPlainName(QString help)
{
    const int usageEnd = help.indexOf(QStringLiteral(" [options]"));
    if (help.startsWith(QStringLiteral("Usage: ")) && usageEnd > 0)
        help.replace(7, usageEnd - 7, QStringLiteral("cnccomm"));
    return help;
}

// "-1" after a subcommand is an argument, unless it is the value of the option before it.
QStringList markNegativeNumbers(QStringList args, const QList<QCommandLineOption>& options)
{
    QStringList takingValues;
    for (const QCommandLineOption& o : options)
        if (!o.valueName().isEmpty())
            for (const QString& name : o.names())
                takingValues << (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
    static const QRegularExpression negative(QStringLiteral("^-[0-9]"));
    for (int i = 1; i < args.size(); ++i)
        if (negative.match(args[i]).hasMatch() && !takingValues.contains(args[i - 1]))
            args[i].prepend(kNegativeNumberMark);
    return args;
}

QString environmentHelp()
{
    return QStringLiteral("Environment:\n"
                          "  CNCCOMM_HOST      the controller's address (HOST, HOST:PORT or serial:DEVICE,...) when --host is not given\n"
                          "  CNCCOMM_PORT      its command port when neither --port nor a HOST:PORT gives one\n"
                          "  ACM_LIBRARY       the library file to load, as --library\n"
                          "  QT_LOGGING_RULES  acm.debug=true lets the library's diagnostic lines through, as --verbose\n");
}
}

CommandLine::CommandLine(const QStringList& arguments, const std::vector<std::unique_ptr<Subcommand>>& commands)
    : m_commands(commands)
{
    parse(arguments);
}

void CommandLine::addCommon(QCommandLineParser& parser) const
{
    parser.addOption(helpOption());
    parser.addOptions(CommonSettings::options());
}

Subcommand* CommandLine::find(const QString& name) const
{
    for (const auto& c : m_commands)
        if (c->name() == name)
            return c.get();
    return nullptr;
}

void CommandLine::parse(const QStringList& arguments)
{
    QString error;
    if (!m_settings.takeEnvironment(&error))
        return refuse(error);
    // First the options before the subcommand's name; the rest is the subcommand's.
    QCommandLineParser tool;
    tool.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    addCommon(tool);
    tool.addOption(QCommandLineOption(kVersion, QStringLiteral("Print the version and the library found, and exit.")));
    if (!tool.parse(arguments))
        return refuse(tool.errorText());
    if (!m_settings.take(tool, &error))
        return refuse(error);
    QStringList rest = tool.positionalArguments();
    if (tool.isSet(kVersion)) {
        m_outcome = Outcome::Version;
        return;
    }
    if (!rest.isEmpty() && rest.first() == kHelp) {
        rest.removeFirst();
        if (rest.isEmpty()) {
            m_outcome = Outcome::Help;
            m_message = toolHelp();
            return;
        }
        rest.append(QStringLiteral("--help"));
    }
    if (rest.isEmpty()) {
        if (tool.isSet(kHelp)) {
            m_outcome = Outcome::Help;
            m_message = toolHelp();
            return;
        }
        return refuse(QStringLiteral("no command given."));
    }
    m_command = find(rest.first());
    if (!m_command)
        return refuse(QStringLiteral("unknown command '%1'.").arg(rest.first()));

    QCommandLineParser own;
    addCommon(own);
    own.addOptions(m_command->options());
    rest.first() = arguments.value(0);
    if (!own.parse(markNegativeNumbers(rest, CommonSettings::options() + m_command->options())))
        return refuse(own.errorText());
    if (tool.isSet(kHelp) || own.isSet(kHelp)) {
        m_outcome = Outcome::Help;
        m_message = commandHelp(*m_command);
        return;
    }
    if (!m_settings.take(own, &error))
        return refuse(error);
    if (m_settings.channel < m_command->lowestChannel() || m_settings.channel > m_command->highestChannel())
        return refuse(QStringLiteral("--channel: %1 takes a channel from %2 to %3.")
                          .arg(m_command->name())
                          .arg(m_command->lowestChannel())
                          .arg(m_command->highestChannel()));
    if (m_settings.async && !m_command->takesAsync())
        return refuse(QStringLiteral("--async: %1 has no asynchronous form (write and set-bit have one).")
                          .arg(m_command->name()));
    if (!m_command->parse(own, m_settings, &error))
        return refuse(error);
}

void CommandLine::refuse(const QString& reason)
{
    m_outcome = Outcome::Refuse;
    const QString help = m_command ? QStringLiteral("cnccomm %1 --help").arg(m_command->name())
                                   : QStringLiteral("cnccomm --help");
    m_message = QStringLiteral("%1\nTry '%2'.").arg(reason, help);
}

QString CommandLine::toolHelp() const
{
    QString commands;
    for (const auto& c : m_commands)
        commands += QStringLiteral("\n  %1 %2").arg(c->name(), -8).arg(c->summary());
    QCommandLineParser parser;
    addCommon(parser);
    parser.addOption(QCommandLineOption(kVersion, QStringLiteral("Print the version and the library found, and exit.")));
    parser.setApplicationDescription(
        QStringLiteral("Commands a CNC controller through libAsyncCommModule, which it loads at run time.\n"
                       "Data goes to stdout; the calls made, progress and notes to stderr (not with --quiet). Every result\n"
                       "code and every text of the controller is printed with its meaning. 'cnccomm COMMAND --help'\n"
                       "tells more; 'man cnccomm' holds every command's help with examples.\n\n"
                       "Commands:") +
        commands);
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("One of the commands above."),
                                 QStringLiteral("COMMAND [ARGUMENTS] [OPTIONS]"));
    return withPlainName(parser.helpText()) + QLatin1Char('\n') + exitStatusHelp() + QLatin1Char('\n') +
           environmentHelp();
}

QString CommandLine::commandHelp(const Subcommand& command) const
{
    QCommandLineParser parser;
    parser.addOption(helpOption());
    parser.addOptions(command.options());
    parser.setApplicationDescription(command.summary() +
                                     (command.details().isEmpty() ? QString() : QLatin1Char('\n') + command.details()));
    parser.addPositionalArgument(command.name(), QStringLiteral("The command."),
                                 (command.name() + QLatin1Char(' ') + command.syntax()).trimmed());
    QString examples = QStringLiteral("\nExamples:\n");
    for (const QString& example : command.examples())
        examples += QStringLiteral("  %1\n").arg(example);
    return withPlainName(parser.helpText()) + examples +
           QStringLiteral("\nThe options every command takes (--host, --port, --channel, --json, --deadline, ...) are "
                          "listed by 'cnccomm --help'.\n\n") +
           exitStatusHelp();
}
