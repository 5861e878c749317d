#pragma once
#include "FtpReplyParser.h"
#include "CommTiming.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

class QIODevice;
class QTcpServer;
class QTcpSocket;
class QTimer;

// A small FTP client over Qt sockets, with just what the file operator uses. Commands queue
// and run one after another from the event loop of the object's thread; each call returns the
// command's id, which commandStarted and commandFinished carry. Transfers are active (the
// server connects to a port we open on the control connection's local address). Every step
// that waits for the server has a time limit, so a silent server ends the command with an
// error instead of holding it for ever. After an error the commands still queued are dropped.
class FtpClient : public QObject
{
    Q_OBJECT
public:
    enum Command { None, ConnectToHost, Login, Close, Get, Put, Mkdir };
    enum TransferMode { Active };
    enum TransferType { Binary, Ascii };


    explicit FtpClient(QObject* parent = nullptr);
    ~FtpClient() override;

    void setTransferMode(TransferMode mode);
    // Longest wait for the server in any one step (a reply, the data connection, data moving).
    void setStepTimeout(int ms);

    int connectToHost(const QString& host, quint16 port = 21);
    int login(const QString& user = QString(), const QString& password = QString());
    // The device must stay open until the command has finished; put reads it to its end.
    int put(QIODevice* device, const QString& file, TransferType type = Binary);
    int get(const QString& file, QIODevice* device, TransferType type = Binary);
    int mkdir(const QString& dir);
    int close();

    // The running command (also while commandStarted and commandFinished are emitted).
    Command currentCommand() const;
    // Why the last failed command failed.
    QString errorString() const;

signals:
    void commandStarted(int id);
    void commandFinished(int id, bool error);
    void dataTransferProgress(qint64 done, qint64 total);
    void done(bool error);

private:
    struct Queued
    {
        int id = 0;
        Command type = None;
        QString host;
        quint16 port = 0;
        QByteArray path; // user name for Login
        QByteArray password;
        QPointer<QIODevice> device;
        TransferType transferType = Binary;
    };
    enum Step { Idle, AwaitConnected, AwaitGreeting, AwaitUser, AwaitPass, AwaitMkd, AwaitQuit, AwaitType, AwaitPort,
                AwaitTransfer };

    int enqueue(Queued command);
    void scheduleStart();
    void startNext();
    void begin();
    void beginTransfer();
    void sendCommand(const QByteArray& verb, const QByteArray& argument, Step next);
    void touch();

    void onControlConnected();
    void onControlReadable();
    void onControlUnconnected();
    void onReply(const FtpReply& reply);
    void onTransferReply(const FtpReply& reply);

    void openDataPort();
    void onDataConnection();
    void onDataBytesWritten(qint64 bytes);
    void onDataReadable();
    void onDataUnconnected();
    void pumpUpload();
    void maybeFinishTransfer();
    bool reportProgress();

    void onStepTimeout();
    void fail(const QString& text, bool dropControl = false);
    void finish(bool error);
    void abortControl();
    void dropTransfer();
    bool controlReady() const;
    QString failedText(const char* what, const FtpReply& reply) const;

    QTcpSocket* m_control;
    QTimer* m_stepTimer;
    QTimer* m_startTimer;
    FtpReplyParser m_parser;
    QList<Queued> m_queue;
    Queued m_current;
    bool m_running = false;
    Step m_step = Idle;
    int m_lastId = 0;
    int m_stepTimeoutMs = CommTiming::now().ftpStepMs;
    bool m_greeted = false;
    bool m_silencingControl = false;
    QString m_error;

    // The transfer of the running Put or Get.
    QTcpServer* m_listener = nullptr;
    QTcpSocket* m_data = nullptr;
    QByteArray m_chunk;
    qint64 m_transferred = 0;
    qint64 m_total = 0;
    bool m_transferOpen = false;  // the server said it starts (1xx)
    bool m_transferReply = false; // the server said it completed (2xx)
    bool m_uploadEnded = false;   // every byte of the device handed to the data socket
    bool m_dataClosed = false;
    bool m_progressReported = false;
};
