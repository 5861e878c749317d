#pragma once
#include "CommandCodec.h"
#include "ErrCallback.h"
#include "FrameMode.h"
#include "FtpCmd.h"
#include "FtpOperatorSet.h"
#include "ThreadAnnotations.h"
#include "Transport.h"
#include "VProtocol_Client.h"

#include <QByteArray>
#include <QList>
#include <QThread>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <initializer_list>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

class VTeleFileOpreator;

// Command client of one channel of one controller. In synchronous mode every command runs its
// round trip on the caller's thread; in asynchronous mode the client's own thread (run) sends
// queued commands and polls registered variables. A synchronous client has no thread of its own.
//
// One lock, mutex, guards the client's state. The reports that replies raise while it is held
// reach the error callback only after it is released (ReportingLock), so that a callback may call
// any function of the library, this client's own included.
class AsynchronousClient : public QThread, private VProtocol_Client
{
public:
    enum BitType : int32_t { BitTypeFirst = 0, BitTypeLast = 6 };

    // A command of the table as an export runs it: its row, the export's options, and the
    // export's name and parameters, from which the log names the client's call.
    struct Command
    {
        CommandTable::Msg message;
        CommandTable::RowOptions options = {};
        const char* name = nullptr;
        const char* params = nullptr;
    };
    // Where the caller wants a value of the reply: slot V1..V3, or List (count entries).
    struct Output
    {
        CommandTable::Slot slot;
        int32_t* to;
        int32_t count = 1;
    };

    explicit AsynchronousClient(QObject* parent = nullptr);
    ~AsynchronousClient() override;

    // ---- the command engine ----
    // Runs one command of the table: the link, the export's own check, the request, and on a
    // synchronous client the exchange and the reply's verdict. The outputs are written whenever
    // a reply came (failing or not) or the command was queued. 1 when the arguments cannot be
    // sent, 7 without a link, 0 / 4 when queued on an asynchronous client, else the verdict.
    int32_t command(const Command& c, const CommandCodec::Args& args, std::initializer_list<Output> outputs = {});

    // ---- link ----
    // ip: as ControllerAddress takes it (a serial line's only on a client given its user by
    // useLink). Opens the link (openLink), then, when it was opened anew, writes the link marker
    // (writeLinkMarker(1)): a synchronous client waits for its reply.
    bool tcpConnect(const QByteArray& ip);
    enum class LinkOpening { Failed, AlreadyUp, Opened };
    // tcpConnect's two steps, for a caller that writes the markers of several clients side by side.
    LinkOpening openLink(const QByteArray& ip);
    void writeLinkMarker(int32_t value);
    bool tcpDisconnect();
    // Ends the client for good, sending nothing: later requests return 7, no link opens, and the
    // worker is told to stop after the request it is sending. Never waits; any thread.
    void retire();
    // Waits for the worker that retire told to stop; at once when there is none.
    void joinWorker();
    // Puts link, in the given framing, in place of the client's own TCP link: a serial line's
    // user (SerialLine). Only before the client first connects, from the thread that made it.
    void useLink(std::unique_ptr<Transport> link, int32_t mode);
    int32_t udpSetCncIp(const char* text);
    bool getTcpConnectFlag();
    void setSyncMode(int32_t mode);
    void setLogFlags(int32_t flags);
    // May change while commands run; the reports raised from then on go to it.
    void setErrCallback(ErrCallbackFunc callback);
    // The whole wait for one reply, in ms (the application's own, not scaled), or 0 for
    // CommTiming's command reply budget. Applies from the next request on, across reconnects.
    void setReplyWaitMs(int ms);
    // An asynchronous client starts a poll cycle of the registered variables no sooner than ms
    // after the last one began (0: at once, back to back). Queued commands do not wait for it.
    void setPollIntervalMs(int ms);

    // ---- variables and bits ----
    // Registers all or none: 1 when an address is invalid (it could never be polled).
    int32_t registerVars(const int32_t* addresses, int count);
    void removeVars(const int32_t* addresses, int count);
    void clearVars();
    int32_t readVars(const int32_t* addresses, int count, int32_t* values);
    int32_t writeVars(const int32_t* addresses, int count, const int32_t* values);
    int32_t registerBits(int32_t channel, BitType bitType, const int32_t* bits, int count);
    int32_t removeBits(int32_t channel, BitType bitType, const int32_t* bits, int count);
    int32_t readBits(int32_t channel, BitType bitType, const int32_t* bits, int count, int32_t* values);

    // ---- the running program (the aux client) ----
    QByteArray getRuningPrg(int32_t channel);

    // ---- program text transfer ----
    // Names end at their first byte that is 0 or has the top bit set; text ends at its first 0
    // and is refused whole (1, and a report naming the byte and its offset, nothing sent) when a
    // byte before that has the top bit set. Text goes in blocks of 400 bytes. Results as for every
    // command, and: 100 when the controller raised an execution alarm on a declaration, query or
    // block; 1 for overwrite and append without an accepted declaration and for a null text or
    // name; ResultCode::RestartTransfer when the link was renewed since the declaration.
    int32_t setTransFileType(int32_t type, int32_t channel, const char* fileName, bool queryOnly);
    int32_t overwrite(const char* text);
    // An append block refused with "memory full" is flow control: it is offered again, after
    // pauses growing from CommTiming's blockResendPauseMs to memoryFullPauseMaxMs, for as long as the
    // controller answers so; tcpDisconnect from another thread ends that within one pause
    // (ResultCode::NotConnected). A full block refused otherwise goes again after
    // blockResendPauseMs, at most kBlockResendLimit times; then, and when the command queue of an
    // asynchronous client stays full for queueRoomWaitMs, the transfer stops with
    // ResultCode::TransferStalled and an error report (errorCmd 3, cmdState the controller's
    // state of the last refusal). The blocks before it are stored.
    int32_t append(const char* text);
    int32_t fileEnd();
    int32_t uploadFile(int32_t type, int32_t channel, const char* fileName, const char* text);
    int32_t cycStart(int32_t channel, const char* fileName);
    static constexpr int kTextBlockSize = 400;
    static constexpr int kBlockResendLimit = 20;

    // ---- FTP uploads: each starts a command list on a new operator in the calling thread,
    // which advances only while that thread runs a Qt event loop ----
    int32_t ftpUploadFile(int32_t type, int32_t channel, const char* sPath, const char* hostIp);
    int32_t ftpUploadFileDes(const char* source, const char* destination, const char* hostIp);
    int32_t ftpUpdateSystem(const char* source, const char* hostIp);
    int32_t ftpMkdir(const char* desPath, const char* hostIp);
    double getFtpUploadFileProgress();

    // ---- controller files, error files, error texts ----
    // Binary file names and data go as their UTF-8 bytes; a write's count field counts bytes.
    int32_t binFileOpen(int32_t type, const QString& fileName);
    int32_t binFileWrite(const QString& text);
    int32_t binFileClose();
    // Open, pieces of at most 200 bytes, close: 0, or 100/101/102 for the step that failed.
    int32_t writeCncFile(int32_t type, const QString& fileName, const QString& content);
    // The caller's bytes: 1 and a report (errorCmd 13, nothing sent) when the name or the content
    // is not UTF-8; otherwise writeCncFile.
    int32_t writeCncFileUtf8(int32_t type, const char* fileName, const char* content);
    // Selector channel * 10 (+ 1 for the history). A status character, then the error file's
    // bytes or a message; null when a reply wait failed. The text is kept for the calling thread:
    // it stays valid until that thread's next getCncCurrentError on this client, whatever other
    // threads ask meanwhile.
    const char* getCncCurrentError(int32_t channel);
    // The whole text getCncCurrentError returned last to the calling thread (it may hold 0 bytes).
    QByteArray callerErrorFileText();
    // text and info receive at most CallerBuffer::TextBytes bytes, always 0-terminated, empty
    // when the call fails; a null buffer, like a file name that is not Latin-1, gives 1.
    int32_t getCurErrString(int32_t channel, int32_t value, char* text);
    int32_t getCncFileInf(int32_t type, int32_t channel, const QString& fileName, char* info);
    // Bounds on a controller that never stops answering.
    static constexpr int kErrorFileReadAttempts = 3;        // a failing piece, sent again twice
    static constexpr int kMostErrorFileBytes = 1024 * 1024; // a longer error file gives status 3
    static constexpr int kErrorTextEmptyReplies = 3;        // text requests that brought nothing

protected:
    void run() override;

private:
    class ReportingLock;
    struct Report
    {
        int32_t errorCmd;
        int32_t state;
        std::string detail;
    };
    // What one queued command came to. replied is false only when a synchronous wait found no
    // valid reply (result 111); a reply whose failure state gives 111 (state 11) is a reply.
    struct Exchange
    {
        bool replied;
        int32_t result;
    };

    // ---- the engine (AsynchronousClientEngine.cpp) ----
    // The request of row id, queued and, on a synchronous client, exchanged; {false, 1} when the
    // arguments cannot be sent (nothing is queued then).
    Exchange transact(CommandTable::Msg id, const CommandCodec::Args& args, bool collapse) ACM_REQUIRES(mutex);
    // Queues frame and, in synchronous mode, sends the oldest queued frame and waits: 0, 4, the
    // reply's failure code (3 when collapsed) or no reply.
    Exchange queueAndExchange(const QByteArray& frame, bool collapse) ACM_REQUIRES(mutex);
    QByteArray built(int32_t frameLength) const;
    bool passesCheck(const Command& c, const CommandCodec::Args& args) const;
    bool outputsFit(std::initializer_list<Output> outputs) const;
    void writeOutputs(std::initializer_list<Output> outputs) ACM_REQUIRES(mutex);
    void logDisconnected(const Command& c) const;
    void logDisconnected(const char* signature) const;
    bool socketConnected() ACM_REQUIRES(mutex);

    // ---- replies (AsynchronousClientReplies.cpp) ----
    void takeNextFrame() ACM_REQUIRES(mutex);
    bool sendAndWait() ACM_REQUIRES(mutex);
    // Judges a reply of link's last exchange: true when it was the request's own, usable answer.
    // Otherwise the link sheds whatever more the controller sends for that request.
    bool takeReply(Transport& link, const QByteArray& reply) ACM_REQUIRES(mutex);
    // The verdict of a decoded reply's state, its report, and what it brought.
    void judge(const CommandCodec::Reply& reply) ACM_REQUIRES(mutex);
    void applyOutcome(const CommandTable::Outcome& outcome, int32_t state) ACM_REQUIRES(mutex);
    void keepValues(const CommandCodec::Reply& reply) ACM_REQUIRES(mutex);
    void keepTransferState(const CommandCodec::Reply& reply) ACM_REQUIRES(mutex);
    void storeReadValues(const QVector<int32_t>& values) ACM_REQUIRES(mutex);
    void report(int32_t errorCmd, int32_t state, const std::string& detail) ACM_REQUIRES(mutex);
    void deliver(const std::vector<Report>& reports) const;

    // ---- the worker (AsynchronousClientWorker.cpp) ----
    void scheduleNext() ACM_REQUIRES(mutex);
    void preparePollFrame() ACM_REQUIRES(mutex);
    void forgetUnansweredPoll() ACM_REQUIRES(mutex);
    bool workerHasWork() const ACM_REQUIRES(mutex);
    bool workerLoop() ACM_EXCLUDES(mutex);
    bool nextWorkerFrame(QByteArray& frame) ACM_EXCLUDES(mutex);
    void workerExchange(const QByteArray& frame) ACM_EXCLUDES(mutex);
    void wakeWorker();
    void waitForEndingWorker();
    void startWorker();
    // Waits, with the mutex released, until the poll interval since the last cycle began has
    // passed; a queued command, a disconnect or a stop ends the wait. True when it ended for a
    // queued command.
    bool pauseBeforePollCycle(std::unique_lock<std::mutex>& lock) ACM_REQUIRES(mutex);
    int replyBudgetMs() const;

    // ---- variables (AsynchronousClientVariables.cpp) ----
    int32_t sendReadBatch() ACM_REQUIRES(mutex);
    bool allPolled(const int32_t* addresses, int count) const ACM_REQUIRES(mutex);
    // onlyPolled: an asynchronous read of an address no poll has read gives 111.
    int32_t readVarsLocked(const int32_t* addresses, int count, int32_t* values, bool split, bool onlyPolled)
        ACM_REQUIRES(mutex);
    int32_t readSyncBatches(const int32_t* addresses, int count, bool split) ACM_REQUIRES(mutex);
    int32_t writeVarsLocked(const int32_t* addresses, int count, const int32_t* values, bool split)
        ACM_REQUIRES(mutex);
    int32_t readBitsLocked(int32_t channel, BitType bitType, const int32_t* bits, int count, int32_t* values)
        ACM_REQUIRES(mutex);
    int32_t bitWordAddress(int32_t channel, BitType bitType, int32_t bit) const;
    bool bitWordsValid(int32_t channel, BitType bitType, const int32_t* bits, int count) const;
    int32_t changeBits(const char* signature, int32_t channel, BitType bitType, const int32_t* bits, int count,
                       bool add);

    // ---- error files (AsynchronousClientFiles.cpp); the text goes to recvFileData ----
    const char* keepErrorFileText(int32_t status) ACM_REQUIRES(mutex);
    const char* refuseErrorFile(int32_t status, const char* message) ACM_REQUIRES(mutex);
    const char* readCurrentError(int32_t channel) ACM_REQUIRES(mutex);
    Exchange errorFileStep(CommandTable::Msg id, const CommandCodec::Args& args) ACM_REQUIRES(mutex);
    Exchange prepareErrorFile(int32_t fileChannel, bool history) ACM_REQUIRES(mutex);
    Exchange readErrorFile(const QByteArray& path) ACM_REQUIRES(mutex);
    Exchange readErrorFilePieces() ACM_REQUIRES(mutex);
    int32_t readErrorText(int32_t channel, int32_t value, char* text) ACM_REQUIRES(mutex);

    // ---- program text transfer (AsynchronousClientTransfer.cpp) ----
    bool transferLinkUp(const char* signature) ACM_REQUIRES(mutex);
    // 0 when the text may go; 1 (reported) for a byte with the top bit set;
    // ResultCode::RestartTransfer when the declaration went on an earlier link.
    int32_t checkText(const char* signature, int32_t errorCmd, const char* text) ACM_REQUIRES(mutex);
    // Whether text holds a byte with the top bit set; if so, reported.
    bool refusedUnsendable(const char* signature, int32_t errorCmd, const char* text) ACM_REQUIRES(mutex);
    int32_t checkBlockCall(const char* signature, int32_t errorCmd, const char* text) ACM_REQUIRES(mutex);
    Exchange transferExchange(const QByteArray& frame) ACM_REQUIRES(mutex);
    Exchange queueTextBlock(ReportingLock& lock, const QByteArray& frame) ACM_REQUIRES(mutex);
    int32_t appendBlocks(ReportingLock& lock, const char* text, quint64 disconnects) ACM_REQUIRES(mutex);
    // Sleeps ms with the mutex released; false when tcpDisconnect was called since disconnects.
    bool pauseWhileMemoryFull(ReportingLock& lock, int ms, quint64 disconnects) ACM_REQUIRES(mutex);

    // ---- FTP (AsynchronousClientFtp.cpp) ----
    void startFtpList(const char* user, const QList<FtpCmd>& own, const char* hostIp) ACM_REQUIRES(mutex);

    // ---- state ----
    // The lock of everything below that names it; a synchronous command holds it for its whole
    // round trip.
    mutable std::mutex mutex;
    std::condition_variable workerWake;   // with mutex: work for the worker, or its end
    std::condition_variable transferWake; // with mutex: ends a transfer's memory-full pause

    // Written by the owner (setErrCallback, setSyncMode, setLogFlags, the link calls), read by
    // every thread: atomics.
    std::atomic<ErrCallbackFunc> errCallback{nullptr};
    std::atomic<int32_t> logFlags{0};
    std::atomic<int32_t> syncMode{1};
    std::atomic<bool> isConnected{false};
    std::atomic<bool> threadStop{false};
    std::atomic<bool> retired{false};         // set once by retire, never cleared
    std::atomic<int32_t> sendState{1};        // 2 while a request is in flight
    std::atomic<quint64> disconnectCalls{0};  // counts tcpDisconnect calls, to end a memory-full wait
    std::atomic<int> replyWaitMs{0};          // 0: CommTiming's
    std::atomic<int> pollIntervalMs{0};       // 0: back to back

    // The codec's frame buffer (VProtocol_Client::sendBuf points into it) and the framing.
    uint8_t frameBuffer[kFrameBufferSize] ACM_GUARDED_BY(mutex) = {};

    // The queue and the exchange in flight.
    QList<QByteArray> cmdQueue ACM_GUARDED_BY(mutex);
    QByteArray sendFrame ACM_GUARDED_BY(mutex);
    int32_t nextFromQueue ACM_GUARDED_BY(mutex) = 0;
    static constexpr int32_t kQueueLimit = 1; // the queue holds kQueueLimit + 1 frames

    // The reply verdict that commands read: the last failing reply's code until a reply succeeds.
    bool replyErrorFlag ACM_GUARDED_BY(mutex) = false;
    int32_t replyErrorCode ACM_GUARDED_BY(mutex) = 0;
    int32_t lastReplyState ACM_GUARDED_BY(mutex) = 0;
    int32_t lastValues[3] ACM_GUARDED_BY(mutex) = {}; // slots V1..V3
    std::vector<Report> pendingReports ACM_GUARDED_BY(mutex);

    // What replies brought for the command in flight.
    QList<int32_t> replyList ACM_GUARDED_BY(mutex); // the values of the last counted list

    QByteArray recvFileData ACM_GUARDED_BY(mutex);
    std::map<int32_t, QByteArray> cncStrings ACM_GUARDED_BY(mutex);
    std::map<Qt::HANDLE, QByteArray> errorFileTexts ACM_GUARDED_BY(mutex); // per calling thread

    // Variables: the poll's cache and its cursor.
    std::map<int32_t, int32_t> valueCache ACM_GUARDED_BY(mutex);
    // The addresses of valueCache whose value a read reply stored since they were registered,
    // since the link was last opened and since a poll carrying them last went unanswered; an
    // asynchronous read of any other address has no value.
    std::set<int32_t> polledAddresses ACM_GUARDED_BY(mutex);
    std::vector<int32_t> readBatch ACM_GUARDED_BY(mutex);
    int32_t pollCursor ACM_GUARDED_BY(mutex) = -1;
    bool pollBatchUnanswered ACM_GUARDED_BY(mutex) = false; // the poll of readBatch awaits its values
    std::chrono::steady_clock::time_point pollCycleBegan ACM_GUARDED_BY(mutex) = {};
    static constexpr int32_t kPollChunk = 62;

    // The program text transfer.
    bool dncMemoryFull ACM_GUARDED_BY(mutex) = false;
    bool isSetFileOk ACM_GUARDED_BY(mutex) = false;
    quint64 declaredLink ACM_GUARDED_BY(mutex) = 0; // the link generation of the accepted declaration

    // The link: TCP unless useLink gave another. It lives as long as the client; the worker uses
    // it without the lock.
    std::unique_ptr<Transport> transport;
    QByteArray lastIp ACM_GUARDED_BY(mutex); // the FTP lists' default host

    // FTP: the operators of the lists this client started.
    VTeleFileOpreator* teleFileOpreator ACM_GUARDED_BY(mutex) = nullptr;
    FtpOperatorSet ftpOperators{teleFileOpreator}; // after teleFileOpreator: frees what it points to
};
