#pragma once
#include "ReplyScript.h"
#include "ServingThread.h"

#include <QByteArray>
#include <QString>

#include <memory>

class QSerialPort;
class QTimer;
class SerialRequestReader;
class SimulatorThread;

// Serves the command protocol on a serial device in one of the two serial
// framings. Each request is turned into its TCP form, so the simulator's model,
// scripts and request log treat it like any other; the reply is turned back.
// The port lives on this thread's event loop.
class SerialEndpoint : public ServingThread
{
public:
    explicit SerialEndpoint(SimulatorThread& controller);
    ~SerialEndpoint() override;

    // Opens devicePath and starts serving (bounded wait); false for a bad path or mode.
    bool startOn(const QString& devicePath, int frameMode);

protected:
    void serve() override;

private:
    // A request whose length its layout leaves open ends once the line is quiet this long.
    static constexpr int kQuietGapMs = 50;

    void onReadable(QSerialPort& port, QTimer& quiet);
    void takeFrames(QSerialPort& port, QTimer& quiet, bool quietNow);
    void answer(QSerialPort& port, const QByteArray& request);
    void send(QSerialPort& port, const QByteArray& reply, bool scripted, const ReplyScript& script);

    SimulatorThread& m_controller;
    QString m_path;
    int m_mode = 1;
    std::unique_ptr<SerialRequestReader> m_reader;
};
