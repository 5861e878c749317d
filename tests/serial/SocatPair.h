#pragma once
#include <QProcess>
#include <QString>
#include <QStringList>

// Two linked pseudo terminals made by socat, so a client and a simulator can
// talk over a real serial device. socat is ended when this goes away.
class SocatPair
{
public:
    ~SocatPair();

    static bool available();
    // Starts socat and waits (bounded) until it has named both ends.
    bool start(int timeoutMs = 5000);
    void stop();
    QString end(int index) const { return m_ends.value(index); }

private:
    QProcess m_process;
    QStringList m_ends;
};
