#pragma once
#include "FtpReply.h"

#include <QByteArray>

// Cuts the control connection's byte stream into replies. A reply is one line "xyz text" or
// a multi-line reply that opens with "xyz-text" and ends with the first line that starts
// with the same code and a space. Lines end with CR LF or a bare LF. Pure: no I/O.
class FtpReplyParser
{
public:
    enum Status { NeedMore, ReplyReady, Malformed };

    // Longest reply, and longest unfinished line, kept while waiting for its end: a server
    // that never ends its reply must not grow our memory without bound.
    static constexpr int kMaxReplyBytes = 64 * 1024;

    void feed(const QByteArray& bytes);
    // ReplyReady fills reply with the oldest complete reply. Malformed sticks until reset.
    Status next(FtpReply* reply);
    void reset();

private:
    Status takeLine(QByteArray* line);
    static int codeOf(const QByteArray& line); // 0 when the line does not open a reply

    QByteArray m_pending;  // bytes not yet cut into lines
    int m_openCode = 0;    // code of the multi-line reply being collected; 0 = none
    QByteArray m_openText; // its text so far
    bool m_malformed = false;
};
