#include "AsynchronousClient.h"
#include "LogCategory.h"
#include "CommCodes.h"

#include "VTeleFileOpreator.h"

#include <QDebug>

#include <memory>

// Uploads to the controller's FTP server. They never touch the command connection: they
// borrow the client's mutex while they set up and its lastIp as the default address.

namespace {
constexpr char kPassword[] = "470913";
constexpr char kProgramUser[] = "root";
constexpr char kUpdateUser[] = "ftp";
constexpr char kUpdateDirectory[] = "updata/";

QByteArray textOf(const char* text)
{
    return text ? QByteArray(text) : QByteArray();
}

// The part after the last directory separator.
QByteArray fileNameOf(const QByteArray& path)
{
    int cut = path.lastIndexOf('/');
#ifdef Q_OS_WIN
    cut = qMax(cut, path.lastIndexOf('\\'));
#endif
    return path.mid(cut + 1);
}

// The channel number fills four digits for channels 1 to 99: sys0001, sys0012.
QByteArray channelDirectory(int32_t channel, const char* leaf)
{
    return QByteArray(channel <= 9 ? "/veko/usr/sys000" : "/veko/usr/sys00") + QByteArray::number(channel) + leaf;
}

// A list that stops on a failure reports it to the error callback installed when the list was
// started: the operator may outlive the client, so it keeps the function, not the client.
void reportStops(VTeleFileOpreator& op, ErrCallbackFunc callback)
{
    if (!callback)
        return;
    op.setStopHandler([callback](int cmdType, const QString& reason) {
        callback(ErrorCmd::FtpList, cmdType, reason.toUtf8().constData());
    });
}

}

// Connect, log in, then the operation's own commands, on a new operator that replaces the
// client's current one.
void AsynchronousClient::startFtpList(const char* user, const QList<FtpCmd>& own, const char* hostIp)
{
    const QByteArray host = textOf(hostIp).isEmpty() ? lastIp : textOf(hostIp);
    QList<FtpCmd> list;
    list.append(FtpCmd::connectHost(host));
    list.append(FtpCmd::login(user, kPassword));
    list.append(own);
    std::unique_ptr<VTeleFileOpreator> op(new VTeleFileOpreator);
    reportStops(*op, errCallback.load());
    ftpOperators.start(op.release(), list);
}

int32_t AsynchronousClient::ftpUploadFile(int32_t type, int32_t channel, const char* sPath, const char* hostIp)
{
    std::lock_guard<std::mutex> lock(mutex);
    QList<QByteArray> localPaths;
    QList<QByteArray> remotePaths;
    // An empty line ends the list, whatever follows it.
    for (const QByteArray& line : textOf(sPath).split('\n')) {
        if (line.isEmpty())
            break;
        if (type != 0 && type != 1)
            return ResultCode::ArgumentOutOfRange;
        localPaths.append(line);
        remotePaths.append(channelDirectory(channel, type == 1 ? "/program/" : "/plc/") + fileNameOf(line));
    }
    qCDebug(acmLog).noquote() << "tPathList.size==" << remotePaths.size();
    for (int i = 0; i < remotePaths.size(); ++i)
        qCDebug(acmLog).noquote() << "tPathList[" << i << "]==" << QString::fromLatin1(remotePaths[i]);
    QList<FtpCmd> puts;
    for (int i = 0; i < localPaths.size(); ++i)
        puts.append(FtpCmd::transfer(Put, localPaths[i], remotePaths[i]));
    startFtpList(kProgramUser, puts, hostIp);
    return ResultCode::Success;
}

int32_t AsynchronousClient::ftpUploadFileDes(const char* source, const char* destination, const char* hostIp)
{
    std::lock_guard<std::mutex> lock(mutex);
    const QByteArray local = textOf(source);
    // No separator is put between the prefix and the file name.
    const QByteArray remote = textOf(destination) + fileNameOf(local);
    startFtpList(kProgramUser, {FtpCmd::transfer(Put, local, remote)}, hostIp);
    return ResultCode::Success;
}

int32_t AsynchronousClient::ftpUpdateSystem(const char* source, const char* hostIp)
{
    std::lock_guard<std::mutex> lock(mutex);
    const QByteArray local = textOf(source);
    startFtpList(kUpdateUser, {FtpCmd::transfer(Put, local, kUpdateDirectory + fileNameOf(local))}, hostIp);
    return ResultCode::Success;
}

int32_t AsynchronousClient::ftpMkdir(const char* desPath, const char* hostIp)
{
    std::lock_guard<std::mutex> lock(mutex);
    startFtpList(kProgramUser, {FtpCmd::makeDir(textOf(desPath))}, hostIp);
    return ResultCode::Success;
}

double AsynchronousClient::getFtpUploadFileProgress()
{
    return ftpOperators.newestProgress();
}
