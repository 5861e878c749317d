#pragma once
#include <QByteArray>
#include <QString>

// A program name the controller can take: 1 to 100 printable 7-bit characters, no '/'. Its
// bytes go to *name; otherwise the reason goes to *error.
bool checkProgramName(const QString& text, QByteArray* name, QString* error);

// The offset of the first byte that program text cannot carry (0, or above 0x7F: the library
// ends the text there), or -1 when there is none.
int firstUnsendableByte(const QByteArray& text);
