#include "SerialLine.h"
#include "SerialPortAdapter.h"

#include <atomic>

namespace {
QSerialPort::Parity parityOf(char letter)
{
    return letter == 'E' ? QSerialPort::EvenParity : letter == 'O' ? QSerialPort::OddParity : QSerialPort::NoParity;
}

SerialTransport::LineSetup setupOf(const SerialSettings& settings)
{
    return [settings](SerialPortAdapter& port) {
        port.setBaudRate(settings.baud);
        port.setDataBits(QSerialPort::DataBits(settings.dataBits));
        port.setParity(parityOf(settings.parity));
        port.setStopBits(settings.stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop);
        port.setFlowControl(QSerialPort::NoFlowControl);
    };
}
} // namespace

// One client's view of the line: open from its open() to its close().
class SerialLine::User : public Transport
{
public:
    explicit User(std::shared_ptr<SerialLine> shared) : line(std::move(shared)) {}
    ~User() override { shutdown(); }

    bool open(const QByteArray& host, quint16, int) override
    {
        std::lock_guard<std::mutex> lock(userMutex);
        if (opened && line->port.isOpen())
            return true;
        if (opened)
            line->release(); // the port failed under this user: take it afresh
        opened = line->acquire(host);
        if (opened)
            linkRenewed();
        return opened;
    }
    bool close(int) override
    {
        std::lock_guard<std::mutex> lock(userMutex);
        if (opened)
            line->release();
        opened = false;
        return true;
    }
    bool isOpen() const override { return opened && line->port.isOpen(); }
    bool checkLink() override { return isOpen(); }
    QByteArray exchange(const QByteArray& frame, int frameMode, int replyBudgetMs) override
    {
        return isOpen() ? line->port.exchange(frame, frameMode, replyBudgetMs) : QByteArray();
    }
    void distrustLastReply() override { line->port.distrustLastReply(); }
    QString errorText() const override { return line->port.errorText(); }
    void shutdown() override { close(0); }

private:
    std::shared_ptr<SerialLine> line;
    std::mutex userMutex;            // open and close of this user take turns
    std::atomic<bool> opened{false}; // written under userMutex, read by any thread
};

SerialLine::SerialLine(const SerialSettings& settings) : port(io, setupOf(settings)) {}

std::unique_ptr<Transport> SerialLine::user(const std::shared_ptr<SerialLine>& line)
{
    return std::unique_ptr<Transport>(new User(line));
}

bool SerialLine::acquire(const QByteArray& device)
{
    std::lock_guard<std::mutex> lock(usersMutex);
    if (!port.open(device, 0, 0))
        return false;
    ++openUsers;
    return true;
}

void SerialLine::release()
{
    std::lock_guard<std::mutex> lock(usersMutex);
    if (--openUsers == 0)
        port.close(0);
}
