#include "ErrorsCommand.h"

#include "AsyncCommModuleResults.h"
#include "TargetSession.h"

#include <QJsonValue>

namespace {
const QString kHistory = QStringLiteral("history");
constexpr int kSelectorPerChannel = 10; // selector = channel * 10, plus 1 for the history

// The status digit in front of the text: the first digit of a result code.
struct FileStatus
{
    ExitStatus exit;
    QString meaning;
};

FileStatus statusOf(char digit)
{
    if (digit == '1')
        return {ExitStatus::ControllerRefused, QStringLiteral("the controller refused (a result of 100 or above)")};
    if (digit >= '0' && digit <= '9') {
        const int32_t code = digit - '0';
        return {exitStatusForResult(code), QString::fromUtf8(acmResultText(code))};
    }
    return {ExitStatus::ControllerRefused, QStringLiteral("unknown status")};
}
}

QString ErrorsCommand::summary() const
{
    return QStringLiteral("Show a channel's current or historical error file.");
}

QStringList ErrorsCommand::examples() const
{
    return {QStringLiteral("cnccomm --channel 2 errors"), QStringLiteral("cnccomm errors --history")};
}

QString ErrorsCommand::details() const
{
    return QStringLiteral(
        "--channel 0 to 8 (default 1). Calls getCncCurrentError with the selector channel * 10 (+ 1 with\n"
        "--history). Prints its status digit with its meaning, then the file's bytes as they came.\n"
        "JSON fields: fileStatus (the digit, a number), meaning, text, bytes.");
}

QList<QCommandLineOption> ErrorsCommand::options() const
{
    return {QCommandLineOption(kHistory, QStringLiteral("The error history instead of the current errors."))};
}

bool ErrorsCommand::parse(const QCommandLineParser& parser, const CommonSettings&, QString* error)
{
    if (!positionalArguments(parser).isEmpty()) {
        *error = QStringLiteral("errors takes no arguments; the channel goes with --channel.");
        return false;
    }
    m_history = parser.isSet(kHistory);
    return true;
}

ExitStatus ErrorsCommand::run(CommandContext& context)
{
    Report& report = context.report;
    TargetSession session(context, false);
    if (!session.connect())
        return ExitStatus::NotConnected;
    const int32_t selector = context.common.channel * kSelectorPerChannel + (m_history ? 1 : 0);
    const char* text = context.acm.getCncCurrentError(selector, session.id());
    session.takeErrorReports();
    if (!text) {
        report.error(QStringLiteral("getCncCurrentError: no reply"));
        return ExitStatus::NoReply;
    }
    const QByteArray bytes(text);
    const FileStatus status = statusOf(bytes.isEmpty() ? '?' : bytes[0]);
    const QByteArray content = bytes.mid(1);
    report.note(QStringLiteral("getCncCurrentError: status %1 (%2), %3 bytes")
                    .arg(QString::fromLatin1(bytes.left(1)), status.meaning)
                    .arg(content.size()));
    report.raw(content);
    report.set(QStringLiteral("fileStatus"), bytes.isEmpty() ? QJsonValue() : QJsonValue(bytes[0] - '0'));
    report.set(QStringLiteral("meaning"), status.meaning);
    report.set(QStringLiteral("text"), QString::fromLocal8Bit(content));
    report.set(QStringLiteral("bytes"), content.size());
    if (status.exit != ExitStatus::Success)
        report.error(QStringLiteral("no error file: %1")
                         .arg(content.isEmpty() ? status.meaning : QString::fromLocal8Bit(content)));
    return status.exit;
}
