#pragma once
#include "FtpCmd.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>

class FtpClient;
class QFile;
class QTcpSocket;

// Runs a list of FTP commands (connect, log in, upload, download, make a directory) one
// after another, each when the previous one has succeeded, and tells the controller's sync
// service after every upload that files have arrived. Lives in its thread (the one that made it,
// or the one it was moved to) and advances only in that thread's event loop; progress() and
// isListRunning() may be read from any thread.
class VTeleFileOpreator : public QObject
{
    Q_OBJECT
public:
    static constexpr quint16 kFtpPort = 21;
    static constexpr quint16 kSyncPort = 60006;

    explicit VTeleFileOpreator(QObject* parent = nullptr);
    ~VTeleFileOpreator() override;

    int startCmdList(const QList<FtpCmd>& list); // always 1
    double progress() const;

    void initFtp();
    void runNextCmd();
    void connectHost(FtpCmd cmd);
    void loginHost(FtpCmd cmd);
    void putFile(FtpCmd cmd);
    void getFile(FtpCmd cmd);
    void makeDir(FtpCmd cmd);

    // The longest wait for the FTP server in one step, for the connections of later lists.
    void setStepTimeout(int ms);
    // From start until the list has ended or stopped; any thread.
    bool isListRunning() const;
    // For a list that the operator's own thread will start: it counts as running from now.
    void markListStarting();
    // Called in the operator's thread whenever a list stops on a failure, with the type of the
    // command that failed and the state text that says why. Set it before the list starts.
    using StopHandler = std::function<void(int cmdType, const QString& reason)>;
    void setStopHandler(StopHandler handler);

signals:
    void opreatProgrss(int percent);
    void stateInf(QString inf);
    void cmdListFinished(int cmd);

private slots:
    void ftpCommandStarted(int);
    void ftpCommandFinished(int, bool error);
    void syncPutFiles();
    void recSyncServerData();
    void updateDataTransferProgress(qint64 readBytes, qint64 totalBytes);

private:
    // Ends the list where it is, with the reason as state text.
    void stopList(const QString& reason);
    void finishUpload(const QPointer<VTeleFileOpreator>& alive);
    void closeCurFile();

    FtpClient* ftp = nullptr;
    QTcpSocket* syncSocket = nullptr;
    QFile* curFile = nullptr;
    QString hostName;
    int32_t cmdIndex = -1;
    QList<FtpCmd> cmdList;
    std::atomic<double> progressValue{0.0}; // written by the operator's thread, polled by others

    int stepTimeoutMs;
    std::atomic<bool> listRunning{false};
    StopHandler stopHandler;
};
