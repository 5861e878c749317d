#include "FtpCmd.h"

#include <cstring>

FtpCmd::FtpCmd()
{
    std::memset(src, 0, sizeof src);
    std::memset(des, 0, sizeof des);
}

bool FtpCmd::fillField(char* field, int size, const QByteArray& text)
{
    std::memset(field, 0, size_t(size));
    const int nul = text.indexOf('\0');
    const int length = nul >= 0 ? nul : text.size();
    std::memcpy(field, text.constData(), size_t(qMin(length, size)));
    return length < size;
}

bool FtpCmd::readField(const char* field, int size, QByteArray* text)
{
    const void* end = std::memchr(field, 0, size_t(size));
    if (!end)
        return false;
    *text = QByteArray(field, int(static_cast<const char*>(end) - field));
    return true;
}

FtpCmd FtpCmd::connectHost(const QByteArray& address)
{
    FtpCmd cmd;
    cmd.cmdType = ConnectHost;
    fillField(cmd.src, kFieldSize, address);
    return cmd;
}

FtpCmd FtpCmd::login(const QByteArray& user, const QByteArray& password)
{
    FtpCmd cmd;
    cmd.cmdType = Login;
    fillField(cmd.src, kShortFieldSize, user);
    fillField(cmd.src + kShortFieldSize, kShortFieldSize, password);
    return cmd;
}

FtpCmd FtpCmd::transfer(FtpCmdType type, const QString& source, const QString& destination)
{
    return transfer(type, source.toLatin1(), destination.toLatin1());
}

FtpCmd FtpCmd::makeDir(const QString& directory)
{
    return makeDir(directory.toLatin1());
}

FtpCmd FtpCmd::transfer(FtpCmdType type, const QByteArray& source, const QByteArray& destination)
{
    FtpCmd cmd;
    cmd.cmdType = type;
    fillField(cmd.src, kFieldSize, source);
    fillField(cmd.des, kFieldSize, destination);
    return cmd;
}

FtpCmd FtpCmd::makeDir(const QByteArray& directory)
{
    FtpCmd cmd;
    cmd.cmdType = Mkdir;
    fillField(cmd.des, kFieldSize, directory);
    return cmd;
}
