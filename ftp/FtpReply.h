#pragma once
#include <QByteArray>

// One complete reply of an FTP server: its three-digit code and its text, the lines of a
// multi-line reply joined by '\n' with the code prefixes of the first and last line removed.
struct FtpReply
{
    int code = 0;
    QByteArray text;

    bool isPreliminary() const { return code >= 100 && code < 200; }
    bool isCompletion() const { return code >= 200 && code < 300; }
    bool isIntermediate() const { return code >= 300 && code < 400; }
    // "530 Login incorrect." as it came, for error texts.
    QByteArray codeAndText() const { return QByteArray::number(code) + ' ' + text; }
};
