#pragma once
#include <QByteArray>
#include <QString>

class Report;

// Reads a program file that is to go to the controller as text: at most 64 MiB, 7-bit, no NUL
// byte. False, with the reason reported, when it cannot be read or could not be sent whole.
bool readProgramFile(const QString& path, QByteArray* text, Report& report);
