#include "AsynchronousClient.h"
#include "LogCategory.h"

#include "FrameMode.h"
#include "IoThread.h"
#include "SerialPortAdapter.h"
#include "SerialTransport.h"

#include <QDebug>

namespace {
void setUpControllerLine(SerialPortAdapter& port)
{
    port.setBaudRate(115200);
    port.setDataBits(QSerialPort::Data8);
    port.setParity(QSerialPort::NoParity);
    port.setStopBits(QSerialPort::OneStop);
    port.setFlowControl(QSerialPort::NoFlowControl);
    port.setEventDriven(true);
}
}

bool AsynchronousClient::connect232Com(const QByteArray& portName, int32_t asciiSel)
{
    std::lock_guard<std::mutex> lock(mutex);
    if (!serialTransport) {
        serialIo.reset(new IoThread);
        serialTransport.reset(new SerialTransport(*serialIo, setUpControllerLine));
    }
    const int nul = portName.indexOf('\0');
    if (!serialTransport->open(nul >= 0 ? portName.left(nul) : portName, 0, 0)) {
        qCDebug(acmLog).noquote() << "connect232Com" << "serial open fail";
        return false;
    }
    setFrameMode(asciiSel == 1 ? FrameSerialColon : FrameSerialStation);
    qCDebug(acmLog).noquote() << "connect232Com" << "serial open success";
    return true;
}

bool AsynchronousClient::close232Com()
{
    std::lock_guard<std::mutex> lock(mutex);
    if (!serialTransport || !serialTransport->isOpen())
        return false;
    serialTransport->close(0);
    setFrameMode(FrameTcp);
    return true;
}
