#pragma once
#include "AddressService.h"
#include "ControllerModel.h"
#include "ReplyScript.h"
#include "ServingThread.h"
#include "SyncService.h"
#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

class QObject;
class QTcpSocket;

// The simulator's event loop: a TCP server and its connections.
class SimulatorThread : public ServingThread
{
public:
    struct Script { uint8_t code; int sub; ReplyScript script; };

    // Binds and starts; returns whether listening succeeded (bounded wait).
    bool startListening(const QString& address, quint16 port);
    void stopListening();
    void dropConnections();
    // The newest script for this request, if any; counts the use down. Any thread.
    // channel: the one the request carries, if any; scripts for one channel match only it.
    bool takeScript(uint8_t code, int sub, std::optional<int32_t> channel, ReplyScript& out);
    // Serves the address datagram on UDP port of this simulator's address.
    bool startAddressService(quint16 port);
    // Serves the FTP sync notification on TCP port of this simulator's address.
    bool startSyncService(quint16 port);

    ControllerModel model;
    AddressService addressService;
    SyncService syncService;
    std::atomic<bool> verbose{false};
    // Tests read what came in; the program, which may run for days, keeps nothing.
    std::atomic<bool> recordRequests{true};
    mutable std::mutex lock;
    QList<Script> scripts;
    QList<QByteArray> received;
    std::atomic<int> connections{0};
    QString address;

protected:
    void serve() override;

private:
    bool runOnLoop(const std::function<void()>& task);
    void runTasks();
    void onReadable(QTcpSocket* socket);
    void answer(QTcpSocket* socket, const QByteArray& request);
    void dribble(QTcpSocket* socket, const QByteArray& bytes, int pauseMs);

    QHash<QTcpSocket*, QByteArray> m_pending; // bytes of a request not complete yet
    QHash<QTcpSocket*, QByteArray> m_held;    // a reply held back until the next request (Before)
    QHash<QTcpSocket*, quint64> m_sessions;   // a number per connection, never used twice
    quint64 m_lastSession = 0;
    quint16 m_port = 60000;
    std::atomic<QObject*> m_context{nullptr};
    std::mutex m_tasksLock;
    std::vector<std::function<void()>> m_tasks; // run on the loop, see runOnLoop
};
