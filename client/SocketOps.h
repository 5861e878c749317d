#pragma once
#include <QByteArray>
#include <QString>

#include <cstddef>

// Thin calls on the operating system's stream sockets. The connect goes through the system
// call itself: inside this library the plain name `connect` is one of its own exports.
namespace SocketOps {

// A connected stream socket to host:port, or -1 (errorText says why). Waits at most
// timeoutMs for the connection; tries each address the name resolves to. A read on the socket
// blocks at most readWaitMs.
int connectTo(const QByteArray& host, quint16 port, int timeoutMs, int readWaitMs, QString* errorText);
void closeSocket(int fd);

// Sends all of data; false when the link failed.
bool sendAll(int fd, const char* data, int length);

enum class ReadResult { Data, Nothing, Closed };
// Waits up to waitMs for bytes and appends what is there to buffer. A wait of the socket's own
// read wait is one blocking read; a shorter one polls first.
ReadResult readSome(int fd, QByteArray& buffer, int waitMs, int readWaitMs);
// Changes how long one read on the socket blocks; false when the system refused.
bool setReadWait(int fd, int readWaitMs);
// Drops every byte already received, without waiting.
ReadResult drain(int fd);

// Qt's wording for the errors an application may see in the log.
QString describe(int errorNumber);

} // namespace SocketOps
