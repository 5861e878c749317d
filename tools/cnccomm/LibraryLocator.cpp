#include "LibraryLocator.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <dlfcn.h>
#include <link.h>

#include <vector>

namespace {
const char* const kLibraryVariable = "ACM_LIBRARY";

// The folders the dynamic linker searches for the program's own libraries (its run path,
// LD_LIBRARY_PATH, the system's), in order. Searched here by path, because a dlopen by name
// searches the run path of the object that calls it, which under a sanitizer's interceptor is
// not the program.
QStringList programSearchPath()
{
    QStringList folders;
    void* program = dlopen(nullptr, RTLD_NOW);
    Dl_serinfo size{};
    if (!program || dlinfo(program, RTLD_DI_SERINFOSIZE, &size) != 0 || size.dls_size < sizeof(Dl_serinfo))
        return folders;
    std::vector<char> storage(size.dls_size);
    auto* info = reinterpret_cast<Dl_serinfo*>(storage.data());
    *info = size;
    if (dlinfo(program, RTLD_DI_SERINFO, info) != 0)
        return folders;
    for (unsigned int i = 0; i < info->dls_cnt; ++i)
        if (info->dls_serpath[i].dls_name && *info->dls_serpath[i].dls_name)
            folders << QFile::decodeName(info->dls_serpath[i].dls_name);
    return folders;
}
}

LibraryLocator::LibraryLocator(const QString& explicitFile) : m_explicitFile(explicitFile)
{
    if (m_explicitFile.isEmpty())
        m_explicitFile = QString::fromLocal8Bit(qgetenv(kLibraryVariable));
}

LibraryLocator::~LibraryLocator()
{
    // The library's objects may still run Qt code when the process ends, so it stays loaded
    // until then: unloading it first would gain nothing.
}

QStringList LibraryLocator::candidates() const
{
    if (!m_explicitFile.isEmpty())
        return {m_explicitFile};
    const QString file = QStringLiteral(ACM_LIBRARY_DEFAULT_FILE);
    const QDir programDir(QCoreApplication::applicationDirPath());
    QStringList files{programDir.filePath(file),
                      QDir::cleanPath(programDir.filePath(QStringLiteral(CNCCOMM_BIN_TO_LIB) + QLatin1Char('/') + file))};
    for (const QString& folder : programSearchPath())
        files << QDir(folder).filePath(file);
    files << file;
    return files;
}

bool LibraryLocator::load()
{
    const QStringList files = candidates();
    for (int i = 0; i < files.size(); ++i) {
        const bool last = i + 1 == files.size();
        // A path that does not exist is passed over; the last candidate always gets tried, so
        // that its own reason is the one reported.
        if (!last && files[i].contains(QLatin1Char('/')) && !QFileInfo::exists(files[i]))
            continue;
        if (acmLibraryLoad(&m_library, QFile::encodeName(files[i]).constData()) == ACM_LOAD_OK) {
            m_error.clear();
            return true;
        }
        m_error = QString::fromLocal8Bit(m_library.error);
        if (!last && QFileInfo::exists(files[i]))
            return false; // a file that is there but does not load is a fault to report, not to skip
    }
    return false;
}

QString LibraryLocator::loadedPath() const
{
    Dl_info info{};
    void* function = nullptr;
    static_assert(sizeof function == sizeof m_library.connect, "function pointers fit a data pointer");
    memcpy(&function, &m_library.connect, sizeof function);
    if (!function || !dladdr(function, &info) || !info.dli_fname)
        return QString();
    return QFileInfo(QString::fromLocal8Bit(info.dli_fname)).absoluteFilePath();
}
