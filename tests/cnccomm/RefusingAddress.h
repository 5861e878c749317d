#pragma once
#include <QString>

#include <vector>

// A loopback address whose command, FTP and sync ports this object holds bound but not
// listening: a connection there is refused at once, and no other test can take the ports.
class RefusingAddress
{
public:
    RefusingAddress();
    ~RefusingAddress();
    RefusingAddress(const RefusingAddress&) = delete;
    RefusingAddress& operator=(const RefusingAddress&) = delete;
    QString address() const { return m_address; }

private:
    QString m_address;
    std::vector<int> m_sockets;
};
