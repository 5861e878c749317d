#pragma once
#include <QByteArray>
#include <QList>

// Cuts the request frames out of what a serial line delivers, by the rules the client's reply
// reader follows: a frame ends where its layout ends; one whose layout leaves its length open
// ends once its check sum passes and the line is quiet. Noise before a lead-in and frames whose
// check sum fails are skipped. No I/O: the endpoint feeds it and answers what it returns.
class SerialRequestReader
{
public:
    explicit SerialRequestReader(int frameMode);

    void append(const QByteArray& bytes);
    // The complete requests held, in order. quietNow: no byte came for the quiet gap. Sets
    // *waitForQuiet when a frame of open length is held that more bytes could still lengthen.
    QList<QByteArray> take(bool quietNow, bool* waitForQuiet);

private:
    bool checksumPasses(const QByteArray& frame) const;

    int m_mode;
    QByteArray m_pending; // bytes of a request not complete yet
};
