#pragma once
#include "ReplyScript.h"
#include <QList>
#include <QString>
#include <cstdint>
#include <memory>

class ControllerFiles;
class SerialEndpoint;
class SimulatorThread;

// A controller on a loopback address that answers the command protocol over
// TCP, with scriptable replies. Runs on its own thread; every method may be
// called from any thread.
class SimulatedController
{
public:
    SimulatedController();
    ~SimulatedController();

    // Addresses an empty address picks from. Test programs that restart a controller on the same
    // address take theirs above this range, so that no other process can take it in between.
    static constexpr int kFirstAutoHost = 2;
    static constexpr int kLastAutoHost = 99;

    // Listens on port of address; with an empty address tries 127.0.0.2 ... 127.0.0.99, from a
    // place that depends on the process.
    bool start(const QString& address = QString(), quint16 port = 60000);
    // Listens on port of the first free one of 127.0.0.firstHost ... 127.0.0.(firstHost + hosts - 1),
    // looking from a place that depends on the process, so that test programs starting together
    // seldom race for one address.
    bool startOnFreeHost(int firstHost, int hosts, quint16 port = 60000);
    void stop();
    QString address() const;
    void setVerbose(bool on);
    // Whether receivedFrames() keeps the requests (on unless turned off).
    void setRecording(bool on);

    void scriptReply(uint8_t code, int subCode, const ReplyScript& script); // subCode -1 = any
    void clearScripts();
    QList<QByteArray> receivedFrames() const;
    int requestCount(uint8_t code, int subCode = -1) const;
    void clearReceived();
    int connectionCount() const;
    void dropConnections();

    // The UDP address-setting service on this simulator's address.
    bool startAddressService(quint16 port = 60007);
    QList<QByteArray> receivedAddressTexts() const;

    // The sync service that FTP uploads notify, on this simulator's address; counts each "sync".
    bool startSyncService(quint16 port = 60006);
    int syncCount() const;

    // Also answers on a serial device (frameMode 1 or 2), with the same state and scripts; needs start() first.
    bool startSerial(const QString& devicePath, int frameMode);

    int32_t variable(int32_t address) const;
    void setVariable(int32_t address, int32_t value);
    void raiseAlarm(int32_t a, int32_t b, int32_t c);
    // Presses (on) or releases the emergency stop as the channel's request would.
    void setEmergencyStop(int32_t channel, bool on);
    // Resets the channel as its reset request would (after a released emergency stop: motion again).
    void resetChannel(int32_t channel);
    int32_t axisPosition(int32_t channel, int32_t axis) const;
    bool axisMoving(int32_t channel, int32_t axis) const;
    // The controller's files, error files, error texts and samples; null before start().
    ControllerFiles* files();

    // Program memory of the text transfer and the remote buffer (see ProgramStore).
    QByteArray programText(int32_t channel, const QByteArray& name) const; // null when absent
    void setProgramText(int32_t channel, const QByteArray& name, const QByteArray& text);
    void setRunningProgram(int32_t channel, const QByteArray& name); // empty: none
    QByteArray runningProgram(int32_t channel) const;
    void setRunTime(int runMs);                          // of programs started by name; negative: for ever
        void setDncCapacity(int bytes, int drainMs = 0);     // negative: no limit; see ProgramStore
    void setBusyPhases(int everyNthBlock, int busyMs);   // 0: never busy

private:
    std::unique_ptr<SimulatorThread> m_thread;
    std::unique_ptr<SerialEndpoint> m_serial; // uses m_thread's state, so goes first
};
