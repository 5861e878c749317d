#pragma once
#include "AsyncCommModuleLoader.h"

#include <QString>
#include <QStringList>

// Finds and loads the library for the tool. An explicit file (--library, else ACM_LIBRARY) is
// the only candidate; otherwise, in this order: next to the program, in the installation's
// library folder beside bin/, in the folders the dynamic linker searches for the program, and
// the SONAME for the dynamic linker's own search.
class LibraryLocator
{
public:
    // explicitFile: the --library value, empty when not given.
    explicit LibraryLocator(const QString& explicitFile);
    ~LibraryLocator();
    LibraryLocator(const LibraryLocator&) = delete;
    LibraryLocator& operator=(const LibraryLocator&) = delete;

    // True once loaded; otherwise error() says why.
    bool load();
    const AcmLibrary& library() const { return m_library; }
    QString error() const { return m_error; }
    // The file the dynamic linker actually loaded.
    QString loadedPath() const;
    // Where the library is looked for, in order.
    QStringList candidates() const;

private:
    QString m_explicitFile;
    AcmLibrary m_library{};
    QString m_error;
};
