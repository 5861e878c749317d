#pragma once
#include "VProtocol_Client.h"

#include <QByteArray>
#include <QList>
#include <QThread>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <string>

class TcpTransport;

// Streams program text to one channel of a controller: bufWrite cuts the text into 480-byte
// append requests and queues them; the buffer's own thread, over its own connection and with
// its own codec, sends them one at a time and paces itself by the controller's replies (busy:
// poll the transfer state until ready; refused: send the same frame again).
//
// Nothing of a stream is lost, reordered or sent twice without the application being told:
// - A block the controller did not store (parameters error, DNC memory full, an execution alarm
//   or a state it does not explain, an error reply) is sent again as it was, after a short pause,
//   until a reply changes the state (state 4 meanwhile). An error reply is taken as the answer
//   only when nothing more follows it within bufferReplyMs (a reply that has begun is whole
//   within that): a real reply that follows is the answer instead, and the frame never goes again
//   while its first send's reply may still come.
// - Only one request is ever outstanding on the buffer's own connection, so a reply that comes
//   late is still the reply to that request: the worker keeps waiting for it (a slow controller
//   or a network hiccup must not starve a machine in mid-cut). A request whose reply has not
//   begun within CommTiming's bufferStallLimitMs, a broken reply (not whole within bufferReplyMs of its first
//   byte, or answering nothing) and a closed connection leave the stream in doubt: the
//   controller may have stored the block or not, so sending it again could double it and going
//   on could lose it, and a fresh connection would not carry the controller's transfer on. So
//   the stream stops there: the connection is closed, the buffer goes to state 3 with a text
//   that says so, and the frames not yet sent stay queued, unsent. The same holds when the
//   controller drops the connection while the buffer is idle. The application closes the buffer
//   and opens a new one.
//
// The handle belongs to the application. bufClose stops the worker, joins it and only then
// destroys the object, on the caller's thread and without an event loop: every step of the
// worker is bounded or cut short by the close (a 500 ms connect, reply waits that look at the
// close between reads of at most 600 ms, a 200 ms sleep), so the join ends within about 0.6 s.
class VRemoteBuffer : public QThread
{
    Q_OBJECT

public:
    enum State : int32_t {
        Ready = 0,            // the last request was acknowledged; the next queued frame goes
        Busy = 1,             // the controller is busy: poll the transfer state until it is ready
        NeedsDeclaration = 2, // (re)send the file declaration
        Closed = 3,           // not connected, stream stopped, or closing
        Refused = 4,          // the current frame was not taken: send it again
        Idle = 5,             // the queue is empty
    };
    enum Mode : int32_t { MdiMode = 0, DncMode = 1 };

    static constexpr int kPieceSize = 480;
    static constexpr int kQueueLimit = 1000;         // frames; bufWrite is refused above it
    static constexpr int32_t kMdiByteBudget = 102400; // bytes per MDI stream
    static constexpr quint16 kCommandPort = 60000;

    // ip is a host, optionally with ":port" (see ControllerAddress). Null when ip is null or has a
    // malformed port, mode is not 0 or 1, or channel is outside 1..99. The worker starts at
    // once; the call does not wait for the connection.
    static VRemoteBuffer* bufOpen(const char* ip, int32_t mode, int32_t channel);
    // Stops and joins the worker, then destroys the buffer: 1; 0 for a null handle.
    static int32_t bufClose(VRemoteBuffer* buffer);

    ~VRemoteBuffer() override;

    // 1 when the text (up to its terminating 0) was queued; 0 when refused, nothing queued: a byte
    // with the top bit set, state not 0 or 5, more than 1000 frames queued, or the MDI budget exceeded.
    int32_t bufWrite(const char* text);
    // 1 when a fresh declaration and an empty overwrite were queued in place of the queue.
    int32_t bufClear();
    // Free capacity in bytes; 0 unless the state is 0 or 5.
    int32_t getBufValidCnt();
    int32_t getBufState() const;
    // The text of the last state change; valid as long as the buffer lives.
    const char* getBufStateInf() const;

protected:
    void run() override;

    // The reply-path fuzzing harness drives the state machine without a thread or a socket.
    friend struct RemoteBufferReplyProbe;

private:
    VRemoteBuffer(const QByteArray& ip, int32_t mode, int32_t channel);

    enum class Step { SendNext, Poll, Declare, Resend, Wait, Stall };

    // Under the mutex.
    Step nextStep();
    void setState(int32_t newState, const char* text = nullptr);
    void setState(int32_t newState, const std::string& text);
    bool acceptsWrites() const;
    QByteArray declarationFrame(VProtocol_Client& codec) const;

    // Worker.
    bool exchange(const QByteArray& frame); // false: the stream stopped
    // The answer to frame once an error reply came for it: what more comes within bufferReplyMs.
    QByteArray answerAfterErrorReply(const QByteArray& frame, const QByteArray& errorReply);
    // Under the mutex: what the reply to the current frame means for the stream (false: stopped).
    bool takeReply(const QByteArray& reply);
    // Under the mutex: the state a decoded reply leaves the stream in.
    void onReply(const CommandCodec::Reply& reply);
    void onDeclared(int32_t status);
    void onOverwritten(int32_t status);
    void onAppended(int32_t status);
    void onTransferState(int32_t status);
    void stopStream(const char* why);
    // Sleeps up to ms, woken early by a close (and, when waitForWork, by new frames).
    void pause(int ms, bool waitForWork);

    // Fields, in the order of their roles: codec base, link, states, stream, queue.
    std::atomic<bool> connected{false};
    std::atomic<int32_t> replyFlag{1}; // 2 while a request is in flight, 1 after its reply
    std::atomic<int32_t> state{Closed};
    std::atomic<const char*> stateText;
    QByteArray ip;                // the host, without a ":port"
    quint16 port = kCommandPort; // set before the worker starts
    int32_t mode;
    int32_t channel;
    QList<QByteArray> frameQueue;
    QByteArray currentFrame; // worker only
    mutable std::mutex mutex;
    int32_t bytesWritten = 0;
    int32_t byteBudget = kMdiByteBudget;
    std::atomic<bool> stopFlag{false};

    std::condition_variable wake;
    std::unique_ptr<TcpTransport> transport;     // the worker's connection
    std::unique_ptr<uint8_t[]> frameMakerBuf;
    VProtocol_Client frameMaker{frameMakerBuf.get()}; // builds the application's frames, under the mutex
    std::unique_ptr<uint8_t[]> workerBuf;
    VProtocol_Client workerCodec{workerBuf.get()};     // builds the worker's own frames
    std::set<std::string> stateTexts; // every text stateText ever pointed to, kept for the buffer's life
    bool declaredOnce = false;        // worker only: a second declaration waits a little first
};
