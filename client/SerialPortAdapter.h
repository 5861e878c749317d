#pragma once
#include <QByteArray>
#include <QSerialPort>
#include <QString>

// A thin wrapper over one serial port: settings, open, bounded reads, writes.
// It belongs to the thread that made it, like any Qt device.
class SerialPortAdapter
{
public:
    void setPortName(const QString& name);
    QString portName() const;
    bool setBaudRate(qint32 baud);
    bool setDataBits(QSerialPort::DataBits bits);
    bool setParity(QSerialPort::Parity parity);
    bool setStopBits(QSerialPort::StopBits bits);
    bool setFlowControl(QSerialPort::FlowControl flow);
    // Kept for callers that choose it; the Qt port is always event driven.
    void setEventDriven(bool on);
    bool isEventDriven() const;

    bool open();
    // Bytes received so far, waiting up to waitMs when none are there yet.
    QByteArray read(int waitMs);
    // True when all of data left the port within waitMs.
    bool write(const QByteArray& data, int waitMs);
    void close();
    bool isOpen() const;
    QString errorText() const;

private:
    QSerialPort port;
    bool eventDriven = true;
};
