#include "ProgramName.h"

namespace {
constexpr int kLongestName = 100;
}

bool checkProgramName(const QString& text, QByteArray* name, QString* error)
{
    const QByteArray bytes = text.toLatin1();
    bool printable = !text.isEmpty() && text.size() <= kLongestName && QString::fromLatin1(bytes) == text;
    for (char c : bytes)
        printable = printable && c > ' ' && c < 0x7F && c != '/';
    if (!printable) {
        *error = QStringLiteral("'%1' is not a program name: 1 to %2 printable ASCII characters without '/' or "
                                "spaces.")
                     .arg(text)
                     .arg(kLongestName);
        return false;
    }
    *name = bytes;
    return true;
}

int firstUnsendableByte(const QByteArray& text)
{
    for (int i = 0; i < text.size(); ++i)
        if (static_cast<signed char>(text[i]) <= 0)
            return i;
    return -1;
}
