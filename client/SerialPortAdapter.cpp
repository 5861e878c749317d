#include "SerialPortAdapter.h"

void SerialPortAdapter::setPortName(const QString& name) { port.setPortName(name); }
QString SerialPortAdapter::portName() const { return port.portName(); }
bool SerialPortAdapter::setBaudRate(qint32 baud) { return port.setBaudRate(baud); }
bool SerialPortAdapter::setDataBits(QSerialPort::DataBits bits) { return port.setDataBits(bits); }
bool SerialPortAdapter::setParity(QSerialPort::Parity parity) { return port.setParity(parity); }
bool SerialPortAdapter::setStopBits(QSerialPort::StopBits bits) { return port.setStopBits(bits); }
bool SerialPortAdapter::setFlowControl(QSerialPort::FlowControl flow) { return port.setFlowControl(flow); }
void SerialPortAdapter::setEventDriven(bool on) { eventDriven = on; }
bool SerialPortAdapter::isEventDriven() const { return eventDriven; }

bool SerialPortAdapter::open()
{
    return port.open(QIODevice::ReadWrite);
}

QByteArray SerialPortAdapter::read(int waitMs)
{
    if (port.bytesAvailable() == 0)
        port.waitForReadyRead(qMax(0, waitMs)); // Qt waits forever on -1
    return port.readAll();
}

bool SerialPortAdapter::write(const QByteArray& data, int waitMs)
{
    if (port.write(data) != data.size())
        return false;
    // Without an event loop the bytes only leave the port while we wait here.
    port.waitForBytesWritten(qMax(0, waitMs));
    return port.bytesToWrite() == 0;
}

void SerialPortAdapter::close() { port.close(); }
bool SerialPortAdapter::isOpen() const { return port.isOpen(); }
QString SerialPortAdapter::errorText() const { return port.errorString(); }
