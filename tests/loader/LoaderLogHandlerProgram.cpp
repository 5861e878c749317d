// A Qt program with a message handler of its own loads the library without linking it, switches
// the log file on, off and on again, and unloads the library with the file still on. Its own
// messages reach its handler throughout, also after the unload; the file holds only the
// library's lines, and its handler only the library's lines of the time the file was off.
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <QtGlobal>

#include <cstdint>
#include <cstdio>
#include <dlfcn.h>

namespace {

QStringList seen;

void ownHandler(QtMsgType, const QMessageLogContext&, const QString& text)
{
    seen << text;
}

int failed(const char* what)
{
    std::fprintf(stderr, "LoaderLogHandlerProgram: %s\nown handler saw: %s\n", what, qPrintable(seen.join(" | ")));
    return 1;
}

QString logFiles()
{
    QString text;
    for (const QString& name : QDir("logs").entryList(QDir::Files)) {
        QFile file("logs/" + name);
        if (file.open(QIODevice::ReadOnly))
            text += QString::fromUtf8(file.readAll());
    }
    return text;
}

} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir folder;
    if (argc != 2 || !folder.isValid() || !QDir::setCurrent(folder.path()))
        return failed("usage: LoaderLogHandlerProgram <library>, in a writable temporary folder");
    qInstallMessageHandler(ownHandler);
    void* library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (!library)
        return failed(dlerror());
    const auto addTarget = reinterpret_cast<bool (*)(int, int, const char*, int)>(dlsym(library, "addTargetCnc"));
    const auto removeTarget = reinterpret_cast<bool (*)(int)>(dlsym(library, "removeTargetCnc"));
    const auto logFile = reinterpret_cast<int32_t (*)(int32_t, int)>(dlsym(library, "getErrorDeb"));
    const auto reset = reinterpret_cast<int32_t (*)(int32_t, int)>(dlsym(library, "reset"));
    if (!addTarget || !removeTarget || !logFile || !reset || !addTarget(1, 1, "127.0.0.1", 0))
        return failed("the library's functions");

    logFile(1, 1);
    qWarning("own line while on");
    reset(1, 1); // not connected: 7, and a line of the library
    logFile(0, 1);
    qWarning("own line while off");
    reset(1, 1);
    logFile(1, 1);
    removeTarget(1);
    dlclose(library);
    qWarning("own line after the unload");

    const QStringList own = {"own line while on", "own line while off", "own line after the unload"};
    for (const QString& line : own) {
        if (!seen.contains(line))
            return failed(qPrintable("missing: " + line));
    }
    if (seen.filter("reset(").size() != 1)
        return failed("the library's lines of the time the file was off, and only those");
    const QString file = logFiles();
    if (!file.contains("reset(") || file.contains("own line"))
        return failed(qPrintable("the file holds the library's lines only: " + file));
    return 0;
}
