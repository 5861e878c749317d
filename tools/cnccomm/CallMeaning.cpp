#include "CallMeaning.h"

#include "AsyncCommModuleResults.h"

#include <QStringList>

namespace {
constexpr int32_t kStateBase = 100;
constexpr int32_t kHighestState = 99;

// Calls that name a file, and calls that fill the program memory: their state 3.
const QStringList kFileCalls = {"getTransFileState", "cycStart", "getCncFileInf"};
const QStringList kFillingCalls = {"setTransFileType", "overwrite", "append", "fileEnd"};

QString writeCncFileMeaning(int32_t result)
{
    switch (result) {
    case 100:
        return QStringLiteral("the controller could not open the file; nothing was written");
    case 101:
        return QStringLiteral("the controller refused a piece of the file; it was not closed");
    case 102:
        return QStringLiteral("the controller could not close the file");
    default:
        return QString();
    }
}

QString stateMeaning(const QString& function, int32_t state)
{
    switch (state) {
    case 1:
        return QStringLiteral("the controller rejected the request's values (state 1)");
    case 2:
        return QStringLiteral("the controller refuses while a program runs or the emergency stop is set (state 2)");
    case 3:
        if (kFileCalls.contains(function))
            return QStringLiteral("the controller has no such file (state 3)");
        if (kFillingCalls.contains(function))
            return QStringLiteral("the controller's memory is full (state 3)");
        break;
    default:
        break;
    }
    return QStringLiteral("the controller refused (state %1)").arg(state);
}
}

QString callMeaning(const QString& function, int32_t result)
{
    if (function == QLatin1String("writeCncFile") && !writeCncFileMeaning(result).isEmpty())
        return writeCncFileMeaning(result);
    if (result > kStateBase && result <= kStateBase + kHighestState && result != 111)
        return stateMeaning(function, result - kStateBase);
    if (result == 1)
        return QStringLiteral("refused before anything was sent: unknown target, a channel outside the "
                              "controller's, or a bad value");
    return QString::fromUtf8(acmResultText(result));
}

QString controllerTextMeaning(const QString& text)
{
    static const struct
    {
        const char* text;
        const char* meaning;
    } known[] = {
        {"parameters error.", "the controller rejected the request's values"},
        {"program is runing.", "a program is running on the channel, so the controller refuses this"},
        {"target file is been executing.file transmission denied.",
         "that program is running, so the controller refuses to take a new text for it"},
        {"file is not exist.", "the controller has no file of that name"},
        {"opening file error.", "the controller could not open the file"},
        {"closing file error.", "the controller could not close the file"},
        {"unknown command.", "the controller does not know the command"},
        {"onRecCmdBinFile error.", "a piece of a controller file was refused or came damaged"},
        {"CNC\xe7\xb3\xbb\xe7\xbb\x9f\xe6\x89\xa7\xe8\xa1\x8c\xe9\x94\x99\xe8\xaf\xaf\xe6\x8a\xa5\xe8\xad\xa6",
         "the controller raised an execution alarm"},
    };
    for (const auto& k : known)
        if (text == QString::fromUtf8(k.text))
            return QString::fromLatin1(k.meaning);
    return QString();
}
