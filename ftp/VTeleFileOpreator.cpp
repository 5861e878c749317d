#include "VTeleFileOpreator.h"
#include "CommTiming.h"
#include "LogCategory.h"

#include "FtpClient.h"

#include <QDebug>
#include <QFile>
#include <QPointer>
#include <QTcpSocket>

#include <algorithm>
#include <utility>

VTeleFileOpreator::VTeleFileOpreator(QObject* parent)
    : QObject(parent), stepTimeoutMs(CommTiming::now().ftpStepMs)
{
}

VTeleFileOpreator::~VTeleFileOpreator()
{
    delete ftp; // before curFile, which its transfer may still read
    ftp = nullptr;
}

void VTeleFileOpreator::setStepTimeout(int ms)
{
    stepTimeoutMs = ms;
}

bool VTeleFileOpreator::isListRunning() const
{
    return listRunning;
}

void VTeleFileOpreator::markListStarting()
{
    listRunning = true;
}

void VTeleFileOpreator::setStopHandler(StopHandler handler)
{
    stopHandler = std::move(handler);
}

double VTeleFileOpreator::progress() const
{
    return progressValue;
}

int VTeleFileOpreator::startCmdList(const QList<FtpCmd>& list)
{
    initFtp();
    cmdList = list;
    cmdIndex = -1;
    progressValue = 0.0;
    listRunning = true;
    runNextCmd();
    return 1;
}

void VTeleFileOpreator::initFtp()
{
    if (ftp) {
        ftp->disconnect(this);
        ftp->close();
        delete ftp;
    }
    ftp = new FtpClient(this);
    ftp->setTransferMode(FtpClient::Active);
    ftp->setStepTimeout(stepTimeoutMs);
    QObject::connect(ftp, &FtpClient::commandStarted, this, &VTeleFileOpreator::ftpCommandStarted);
    QObject::connect(ftp, &FtpClient::commandFinished, this, &VTeleFileOpreator::ftpCommandFinished);
    QObject::connect(ftp, &FtpClient::dataTransferProgress, this, &VTeleFileOpreator::updateDataTransferProgress);
}

void VTeleFileOpreator::runNextCmd()
{
    if (!ftp || !listRunning)
        return;
    ++cmdIndex;
    if (cmdIndex >= 0 && cmdIndex < cmdList.size()) {
        const FtpCmd cmd = cmdList.at(cmdIndex);
        switch (cmd.cmdType) {
        case ConnectHost:
            connectHost(cmd);
            return;
        case Login:
            loginHost(cmd);
            return;
        case Put:
            putFile(cmd);
            return;
        case Get:
            getFile(cmd);
            return;
        case Mkdir:
            makeDir(cmd);
            return;
        default:
            listRunning = false; // an unknown command starts nothing, silently
            return;
        }
    }
    const int lastType = cmdList.isEmpty() ? -1 : cmdList.last().cmdType;
    cmdIndex = -1;
    cmdList.clear();
    ftp->close();
    listRunning = false;
    emit cmdListFinished(lastType);
}

void VTeleFileOpreator::stopList(const QString& reason)
{
    listRunning = false;
    const int failedType = cmdIndex >= 0 && cmdIndex < cmdList.size() ? cmdList.at(cmdIndex).cmdType : -1;
    const StopHandler handler = stopHandler; // a slot of stateInf may delete the operator
    emit stateInf(reason);
    if (handler)
        handler(failedType, reason);
}

void VTeleFileOpreator::connectHost(FtpCmd cmd)
{
    if (!ftp)
        return;
    QByteArray address;
    if (!FtpCmd::readField(cmd.src, FtpCmd::kShortFieldSize, &address)) {
        stopList(tr("连接终止，地址过长"));
        return;
    }
    hostName = QString::fromLatin1(address);
    ftp->connectToHost(hostName, kFtpPort);
}

void VTeleFileOpreator::loginHost(FtpCmd cmd)
{
    if (!ftp)
        return;
    QByteArray user;
    QByteArray password;
    if (!FtpCmd::readField(cmd.src, FtpCmd::kShortFieldSize, &user) ||
        !FtpCmd::readField(cmd.src + FtpCmd::kShortFieldSize, FtpCmd::kShortFieldSize, &password)) {
        stopList(tr("登录终止，用户名或密码过长"));
        return;
    }
    ftp->login(QString::fromLatin1(user), QString::fromLatin1(password));
}

void VTeleFileOpreator::closeCurFile()
{
    if (curFile)
        curFile->close();
}

// Local paths are handed to the file system as the bytes the caller gave (its file-name
// encoding); remote paths go to the server byte for byte.
void VTeleFileOpreator::putFile(FtpCmd cmd)
{
    QByteArray local;
    QByteArray remote;
    if (!FtpCmd::readField(cmd.src, FtpCmd::kFieldSize, &local) ||
        !FtpCmd::readField(cmd.des, FtpCmd::kFieldSize, &remote)) {
        stopList(tr("上传终止，路径过长"));
        return;
    }
    delete curFile;
    curFile = new QFile(QFile::decodeName(local), this);
    if (!local.isEmpty() && curFile->open(QIODevice::ReadOnly)) {
        progressValue = 0.0;
        if (ftp)
            ftp->put(curFile, QString::fromLatin1(remote), FtpClient::Binary);
        return;
    }
    delete curFile;
    curFile = nullptr;
    stopList(tr("上传终止，打开文件失败"));
}

void VTeleFileOpreator::getFile(FtpCmd cmd)
{
    QByteArray remote;
    QByteArray local;
    if (!FtpCmd::readField(cmd.src, FtpCmd::kFieldSize, &remote) ||
        !FtpCmd::readField(cmd.des, FtpCmd::kFieldSize, &local)) {
        stopList(tr("下载终止，路径过长"));
        return;
    }
    delete curFile;
    curFile = new QFile(QFile::decodeName(local), this);
    if (ftp && !local.isEmpty() && curFile->open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        ftp->get(QString::fromLatin1(remote), curFile, FtpClient::Binary);
        return;
    }
    delete curFile;
    curFile = nullptr;
    listRunning = false; // a download that cannot write its file stops without a word
}

void VTeleFileOpreator::makeDir(FtpCmd cmd)
{
    QByteArray directory;
    if (!FtpCmd::readField(cmd.des, FtpCmd::kFieldSize, &directory)) {
        stopList(tr("创建终止，路径过长"));
        return;
    }
    progressValue = 0.0;
    if (ftp)
        ftp->mkdir(QString::fromLatin1(directory));
}

void VTeleFileOpreator::ftpCommandStarted(int)
{
    if (!ftp)
        return;
    switch (ftp->currentCommand()) {
    case FtpClient::ConnectToHost:
        qCDebug(acmLog).noquote() << "ftpCommandStarted" << "QFtp::ConnectToHost Started";
        progressValue = 0.0;
        emit stateInf(tr("Connecting to server..."));
        return;
    case FtpClient::Login:
        qCDebug(acmLog).noquote() << "ftpCommandStarted" << "QFtp::Login Started";
        emit stateInf(tr("Logging..."));
        return;
    case FtpClient::Close:
        qCDebug(acmLog).noquote() << "ftpCommandStarted" << "QFtp::Close Started";
        emit stateInf(tr("Closing..."));
        return;
    case FtpClient::Get:
        qCDebug(acmLog).noquote() << "ftpCommandStarted" << "QFtp::Get Started";
        emit stateInf(tr("Downloading..."));
        return;
    case FtpClient::Put:
        qCDebug(acmLog).noquote() << "ftpCommandStarted" << "QFtp::Put Started";
        progressValue = 0.0;
        emit stateInf(tr("Uploading..."));
        return;
    case FtpClient::Mkdir:
        progressValue = 0.0;
        emit stateInf(tr("Mkdir..."));
        return;
    case FtpClient::None:
        return;
    }
}

namespace {
// What a finished step logs and says: on failure (with the server's reason where %1 stands; the
// log line always ends with it), and on success.
struct StepWords
{
    const char* failLog;
    const char* failText;
    const char* doneLog;
    const char* doneText;
};

const StepWords* wordsOf(FtpClient::Command command)
{
    static const StepWords connect{"连接服务器出现错误==", "连接服务器出现错误：%1", "连接成功", "连接到服务器成功"};
    static const StepWords login{"登陆出现错误==", "登录出现错误：%1", "登录成功", "登录成功"};
    static const StepWords get{"下载出现错误==", "download false:", "下载完成", "已经完成下载"};
    static const StepWords put{"上传出现错误==", "上传出现错误：%1", "上传完成", "已经完成上传"};
    static const StepWords mkdir{"创建文件夹失败==", "创建文件夹失败：%1", "创建成功", "已经创建成功"};
    switch (command) {
    case FtpClient::ConnectToHost: return &connect;
    case FtpClient::Login: return &login;
    case FtpClient::Get: return &get;
    case FtpClient::Put: return &put;
    case FtpClient::Mkdir: return &mkdir;
    case FtpClient::Close:
    case FtpClient::None: break;
    }
    return nullptr;
}
} // namespace

void VTeleFileOpreator::ftpCommandFinished(int, bool error)
{
    if (!ftp)
        return;
    const FtpClient::Command command = ftp->currentCommand();
    const StepWords* words = wordsOf(command);
    if (!words)
        return;
    // A slot of stateInf or cmdListFinished may delete the operator; nothing runs on after that.
    const QPointer<VTeleFileOpreator> alive(this);
    const QString reason = ftp->errorString();
    if (command == FtpClient::Get || command == FtpClient::Put)
        closeCurFile();
    if (error) {
        qCDebug(acmLog).noquote() << "ftpCommandFinished" << QString::fromUtf8(words->failLog) + reason;
        const QString text = tr(words->failText);
        stopList(text.contains(QLatin1String("%1")) ? text.arg(reason) : text);
        return;
    }
    qCDebug(acmLog).noquote() << "ftpCommandFinished" << QString::fromUtf8(words->doneLog);
    if (command == FtpClient::Mkdir)
        progressValue = 100.0;
    emit stateInf(tr(words->doneText));
    if (!alive)
        return;
    if (command == FtpClient::Put)
        finishUpload(alive);
    else
        runNextCmd();
}

// After a whole upload: the sync service's step, then 100 before the next command too, so that
// cmdListFinished already sees the upload done.
void VTeleFileOpreator::finishUpload(const QPointer<VTeleFileOpreator>& alive)
{
    syncPutFiles();
    if (!alive)
        return;
    progressValue = 100.0;
    runNextCmd();
    if (alive)
        progressValue = 100.0;
}

void VTeleFileOpreator::updateDataTransferProgress(qint64 readBytes, qint64 totalBytes)
{
    if (totalBytes > 0) {
        progressValue = std::min(readBytes * 100.0 / totalBytes, 99.0);
        emit opreatProgrss(int(readBytes * 100 / totalBytes));
    } else {
        progressValue = 0.0;
        emit opreatProgrss(0);
    }
}

void VTeleFileOpreator::syncPutFiles()
{
    if (!syncSocket) {
        syncSocket = new QTcpSocket(this);
        QObject::connect(syncSocket, &QTcpSocket::readyRead, this, &VTeleFileOpreator::recSyncServerData);
    }
    if (syncSocket->state() == QAbstractSocket::UnconnectedState)
        syncSocket->connectToHost(hostName, kSyncPort, QIODevice::ReadWrite, QAbstractSocket::AnyIPProtocol);
    if (syncSocket->waitForConnected(CommTiming::now().ftpSyncConnectMs)) {
        syncSocket->write("sync", 4);
        syncSocket->flush();
        return;
    }
    delete syncSocket;
    syncSocket = nullptr;
    emit stateInf(tr("Failed to connect to server"));
}

void VTeleFileOpreator::recSyncServerData()
{
    QTcpSocket* socket = syncSocket;
    if (!socket || sender() != socket)
        return;
    syncSocket = nullptr;
    // Inside the socket's own signal: it goes when the event loop is back.
    socket->disconnect(this);
    socket->disconnectFromHost();
    socket->deleteLater();
    emit stateInf(tr("Upload to complete"));
}
