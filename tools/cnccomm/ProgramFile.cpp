#include "ProgramFile.h"

#include "ProgramName.h"
#include "Report.h"

#include <QFile>

namespace {
constexpr qint64 kLongestFile = 64 * 1024 * 1024;
}

bool readProgramFile(const QString& path, QByteArray* text, Report& report)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kLongestFile) {
        report.error(QStringLiteral("cannot read %1: %2")
                         .arg(path, file.size() > kLongestFile ? QStringLiteral("larger than 64 MiB") : file.errorString()));
        return false;
    }
    *text = file.readAll();
    const int bad = firstUnsendableByte(*text);
    if (bad >= 0) {
        report.error(QStringLiteral("%1: byte 0x%2 at offset %3: program text must be 7-bit ASCII without NUL bytes")
                         .arg(path)
                         .arg(uchar(text->at(bad)), 2, 16, QLatin1Char('0'))
                         .arg(bad));
        return false;
    }
    return true;
}
