#pragma once
#include "ErrCallback.h"
#include "FtpOperatorSet.h"
#include "Transport.h"
#include "VProtocol_Client.h"

#include <QByteArray>
#include <QList>
#include <QThread>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <vector>

class IoThread;
class VTeleFileOpreator;

// Command client of one channel of one controller. In synchronous mode every
// command runs its round trip on the caller's thread; in asynchronous mode the
// client's own thread (run) sends queued commands and polls registered variables.
// A synchronous client has no thread of its own.
class AsynchronousClient : public QThread, public VProtocol_Client
{
public:
    enum BitType : int32_t { BitTypeFirst = 0, BitTypeLast = 6 };

    explicit AsynchronousClient(QObject* parent = nullptr);
    ~AsynchronousClient() override;

    // ---- link ----
    // ip: a host, optionally with ":port". Opens the link (openLink), then, when it was opened
    // anew, writes the link marker (writeLinkMarker(1)): a synchronous client waits for its reply.
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
    // While the serial port is open, synchronous commands use it instead of TCP.
    bool connect232Com(const QByteArray& portName, int32_t asciiSel);
    bool close232Com();
    int32_t CheckTcpWdt();
    int32_t udpSetCncIp(const char* text);
    bool getTcpConnectFlag();
    void setSyncMode(int32_t mode);
    void setLogFlags(int32_t flags);
    void onErrorOccured(int32_t errorCmd, int32_t cmdState, const char* detail);
    static void busyWaitMs(int32_t ms);

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
    int32_t fileReadVars(const int32_t* addresses, int count, int32_t* values);
    int32_t fileWriteVars(const int32_t* addresses, int count, const int32_t* values);

    // ---- machine control ----
    int32_t jogMotionV_Run(int32_t channel, int32_t axis, int32_t feed, int32_t isNegDir, int32_t isFast);
    int32_t jogMotionV_Stop(int32_t channel, int32_t axis);
    int32_t jogMotionV_MfoSet(int32_t channel, int32_t mfo);
    int32_t jogMotionV_FastOnSet(int32_t channel, int32_t isFast);
    int32_t jogMotionV_Para(int32_t channel, int32_t axis, int32_t feed, int32_t isNegDir, int32_t isFast);
    int32_t jogMotionV_AxesRun(int32_t channel, int32_t axisHBits, int32_t axisLBits);
    int32_t jogMotionV_AxesStop(int32_t channel, int32_t axisHBits, int32_t axisLBits);
    int32_t jogMotionP_Run(int32_t channel, int32_t axis, int32_t feed, int32_t len, int32_t isAbs, int32_t isMecCoord);
    int32_t jogMotionP_Stop(int32_t channel, int32_t axis);
    int32_t jogMotionP_MfoSet(int32_t channel, int32_t mfo);
    int32_t jogMotionP_MotionIsStop(int32_t channel, int32_t axis, int32_t mode, int32_t* isStop);
    int32_t jogMotionP_Para(int32_t channel, int32_t axis, int32_t feed, int32_t len, int32_t isAbs, int32_t isMecCoord);
    int32_t jogMotionP_AxesRun(int32_t channel, int32_t axisHBits, int32_t axisLBits);
    int32_t jogMotionP_AxesStop(int32_t channel, int32_t axisHBits, int32_t axisLBits);
    int32_t jogMotionP_AxesIsStop(int32_t channel, int32_t axisHBits, int32_t axisLBits, int32_t mode,
                                  int32_t* stopHBits, int32_t* stopLBits);
    int32_t homeRunAxis(int32_t channel, int32_t axis);
    int32_t homeRunAxes(int32_t channel, int32_t axisHBits, int32_t axisLBits, int32_t* first, int32_t* second);
    int32_t homeAxisIsEnd(int32_t channel, int32_t axis, int32_t* isEnd);
    int32_t homeAxesIsEnd(int32_t channel, int32_t axisHBits, int32_t axisLBits, int32_t* first, int32_t* second);
    int32_t homeAxisIsInProcess(int32_t channel, int32_t axis, int32_t* inProcess);
    int32_t homeAxesIsInProcess(int32_t channel, int32_t axisHBits, int32_t axisLBits, int32_t* first, int32_t* second);
    int32_t mpgSelection(int32_t channel, int32_t mpgId);
    int32_t mpgAxesSet(int32_t channel, int32_t axisHBits, int32_t axisLBits);
    int32_t mpgMfoSet(int32_t channel, int32_t mfo);
    int32_t prgCycleStart(int32_t channel);
    int32_t prgStop(int32_t channel);
    int32_t prgPause(int32_t channel, int32_t arg2, int32_t arg3);
    int32_t prgSingleBlockSet(int32_t channel, int32_t value);
    int32_t prgOptionSkipSet(int32_t channel, int32_t value);
    int32_t prgMpgTestSet(int32_t channel, int32_t value);
    int32_t prgMpgTestSimuSet(int32_t channel, int32_t value);
    int32_t emStopSet(int32_t channel, int32_t value);
    int32_t prgReset(int32_t channel);
    int32_t alarmRead(int32_t channel, int32_t* first, int32_t* second, int32_t* third);
    int32_t reset(int32_t channel);
    int32_t setCncType(int32_t type, int32_t channel);
    int32_t getXBit(int32_t channel, int32_t bitKind, int32_t index, int32_t* value);
    int32_t setXBit(int32_t channel, int32_t bitKind, int32_t index, int32_t value, int32_t extra);
    int32_t getIbits(int32_t channel, const int32_t* elements, int count, int32_t* first, int32_t* second);
    int32_t setPlcObits(int32_t channel, const int32_t* first, const int32_t* second, int count);
    int32_t setCncObits(int32_t channel, const int32_t* first, const int32_t* second, int count, int32_t extra);
    int32_t getAxisMotionStatus(int32_t channel, int32_t axis, int32_t* status);
    int32_t getAxesMotionStatus(int32_t channel, int32_t axisHBits, int32_t axisLBits, int32_t* first, int32_t* second);
    int32_t servoOnAxisSet(int32_t a1, int32_t a2);
    int32_t servoOnAxesSet(int32_t a1, int32_t a2, int32_t a3, int32_t a4);
    int32_t servoOnAxisGet(int32_t a1, int32_t* value);
    int32_t servoOnAxesGet(int32_t a1, int32_t a2, int32_t* first, int32_t* second);
    int32_t getAxisCoord(int32_t a1, int32_t a2, int32_t a3, int32_t* coord);
    int32_t getAxesCoord(int32_t a1, int32_t a2, int32_t a3, int32_t a4, int count, int32_t* coords);
    int32_t SetCncStaticIp(int32_t a1, int32_t a2, int32_t a3, int32_t a4, int32_t a5, int32_t a6);
    QByteArray getRuningPrg(int32_t channel);
    int32_t busParameterInit();
    int32_t busAxisParameterWr(int32_t a1, int32_t a2, int32_t a3, int32_t a4, int32_t a5);
    int32_t busAxisParameterRd(int32_t a1, int32_t a2, int32_t a3, int32_t a4, int32_t* value);
    int32_t busAxisParameterWrRd(int32_t a1, int32_t a2, int32_t a3, int32_t a4, int32_t a5, int32_t* value);
    int32_t busAxisParametersWrRd(int32_t a1, int32_t a2, int32_t a3, int32_t a4);
    int32_t busAxisParameterFileLS(int32_t a1, int32_t a2, int32_t a3);
    int32_t busAxesParameterFileLS(int32_t a1, int32_t a2);
    int32_t busAxisMisCmdRun(int32_t a1, int32_t a2);
    int32_t busGetSlvInfo(int32_t a1);
    int32_t busGetSlvHardAxisList();
    int32_t busGetSlvNum(int32_t* value);
    int32_t busIsReady();
    int32_t busIsTimeOut();

    // ---- FTP uploads: each starts a command list on a new operator in the calling thread,
    // which advances only while that thread runs a Qt event loop ----
    int32_t ftpUploadFile(int32_t type, int32_t channel, const char* sPath, const char* hostIp);
    int32_t ftpUploadFileDes(const char* source, const char* destination, const char* hostIp);
    int32_t ftpUpdateSystem(const char* source, const char* hostIp);
    int32_t ftpMkdir(const char* desPath, const char* hostIp);
    double getFtpUploadFileProgress();

    // ---- controller files, error files, error texts, oscilloscope ----
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
    int32_t binFileReadOpen(int32_t first, int32_t second, const QString& fileName);
    int32_t binFileRead();
    int32_t binFileReRead();
    int32_t setOscAxis(int32_t tmpChn, int32_t tmpAxis, int32_t tmpType);
    int32_t setOscTransEn(int32_t enable);
    // Writes the received points, at most count of them, to points[0...]; 112 when none came.
    int32_t getOscPoint(int32_t first, int32_t* points, int32_t count);
    // Bounds on a controller that never stops answering.
    static constexpr int kErrorFileReadAttempts = 3;           // a failing piece, sent again twice
    static constexpr int kMostErrorFileBytes = 1024 * 1024;    // a longer error file gives status 3
    static constexpr int kErrorTextEmptyReplies = 3;           // text requests that brought nothing
    QByteArray errorFileText; // what getCncCurrentError returned last, to any thread
    std::map<Qt::HANDLE, QByteArray> errorFileTexts; // what it returned last to each thread

    // ---- reply callbacks ----
    void onRecCmdReadVars(int32_t failed, const int32_t* values, int32_t count) override;
    void onReciveCmdGetFileTransState(int32_t status) override;
    void onReciveCmdSetFileInf(int32_t status) override;
    void onReciveCmdOverWriteTxt(int32_t status) override;
    void onReciveCmdAppendTxt(int32_t status) override;
    void onReciveCmdFileEnd(int32_t status) override;
    void onReciveCmdTransFileState(int32_t status) override;
    void onRecCmdWriteVars(int32_t failed) override;
    void onReciveCmdReset(int32_t status) override;
    void onReciveCmdCycStart(int32_t status) override;
    void onRecCmdGetCncString(int32_t kind, const char* text) override;
    void onRecCmdOpenReadFile(int32_t status) override;
    void onRecCmdReadFile(const uint8_t* data, int32_t frameLength) override;
    void onRecCmdCloseReadFile(int32_t status) override;
    void onRecCmdBinFile(int32_t status) override;
    void onRecCmdErrorInf(int32_t status, QByteArray bytes) override;
    void onRecCmdErrorData(QByteArray bytes) override;
    void onRecCmdSetOscAxis(int32_t status) override;
    void onRecCmdSetOscTransEn(int32_t status) override;
    void onRecCmdGetOscPoint(int32_t status, int32_t count, const int32_t* values) override;
    void onRecCmdCheckTcpWdt(int32_t status) override;
    void onRecCmdJogMotionV_Run(int32_t status) override;
    void onRecCmdJogMotionV_Stop(int32_t status) override;
    void onRecCmdJogMotionV_MfoSet(int32_t status) override;
    void onRecCmdJogMotionP_Run(int32_t status) override;
    void onRecCmdJogMotionP_MfoSet(int32_t status) override;
    void onRecCmdJogMotionP_Stop(int32_t status) override;
    void onRecCmdJogMotionP_IsStop(int32_t status, const int32_t* values) override;
    void onRecCmdHomeRunAxis(int32_t status) override;
    void onRecCmdHomeAxes(int32_t status, int32_t count, const int32_t* values) override;
    void onRecCmdValues(int32_t status, int32_t count, const int32_t* values) override;
    void onRecCmdStatusS(int32_t status) override;
    void onRecCmdStatus(int32_t status) override;
    void onRecCmdAlarmRead(int32_t status, int32_t count, const int32_t* values) override;
    void onRecCmdGetAxesCoord(int32_t status, int32_t count, const int32_t* values) override;
    void onRecCmdGetCncFileInf(int32_t status, const char* text) override;
    void onRecCmdUnknown() override;

    // ---- fields ----
    std::atomic<ErrCallbackFunc> errCallback{nullptr}; // set by the application while a worker may report
    bool replyErrorFlag = false;
    int32_t replyErrorCode = 0;
    int32_t payloadTxtSize = 400;
    std::atomic<int32_t> sendState{1};
    std::map<int32_t, int32_t> valueCache;
    // The addresses of valueCache whose value a read reply stored since they were registered and
    // since the link was last opened; an asynchronous read of any other address has no value to
    // give. Guarded by mutex, like valueCache.
    std::set<int32_t> polledAddresses;
    QList<QByteArray> cmdQueue;
    int32_t nextFromQueue = 0;
    int32_t pollCursor = -1;
    std::vector<int32_t> readBatch;
    std::vector<int32_t> pendingReads;
    QList<int32_t> oscPoints;
    int32_t replyValue1 = 0;
    int32_t replyValue2 = 0;
    int32_t replyValue3 = 0;
    QList<int32_t> axesCoords;
    bool currentRdAddressFlag = false;
    bool currentWrAddressFlag = false;
    bool overwriteLoopFlag = true;
    bool appendLoopFlag = true;
    int32_t pollChunk = 62;
    std::atomic<bool> isConnected{false};
    std::mutex mutex;
    QByteArray sendFrame;
    bool dncMemoryFull = false;
    int32_t queueLimit = 1;
    bool isSetFileOk = false;
    std::atomic<int32_t> syncMode{1};
    std::atomic<bool> threadStop{false};
    std::atomic<bool> retired{false}; // set once by retire, never cleared
    std::map<int32_t, QByteArray> cncStrings;
    QByteArray recvFileData;
    std::atomic<int32_t> logFlags{0};
    VTeleFileOpreator* teleFileOpreator = nullptr;
    QByteArray lastIp;
    FtpOperatorSet ftpOperators{teleFileOpreator}; // after teleFileOpreator: frees what it points to

protected:
    void run() override;

private:
    enum CommandOption { PlainCommand = 0, CollapseTo3 = 1, LogDisconnectWithFlag = 2 };
    // Builders return the frame length; this value, like a codec builder's 0, means "arguments
    // rejected": runCommand gives 1 and sends nothing.
    static constexpr int32_t kArgumentsRejected = -1;

    // What one queued command came to. replied is false only when a synchronous wait found no
    // valid reply (result 111); a reply whose failure state gives 111 (state 11) is a reply.
    struct Exchange
    {
        bool replied;
        int32_t result;
    };

    // Steps shared by every command: lock, link check, build, queue, round trip.
    // Queues the frame built into sendBuf (an empty one when frameLength is 0) and, in synchronous
    // mode, sends the oldest queued frame and waits: 0, 4, the reply's failure code (3 when
    // collapsed) or no reply.
    Exchange queueAndExchange(int32_t frameLength, bool collapseTo3);
    // writeOutputs runs, with the result, whenever the command was answered or queued.
    int32_t runCommand(const char* signature, const std::function<int32_t()>& build,
                       const std::function<void(int32_t)>& writeOutputs = nullptr, int options = PlainCommand);
    void logDisconnected(const char* signature);
    bool socketConnected();
    Transport* syncTransport() const;

    void takeNextFrame();
    bool sendAndWait();
    // Parses a reply of link's last exchange: true when it was the request's own, usable answer.
    // Otherwise the link sheds whatever more the controller sends for that request.
    bool takeReply(Transport& link, const QByteArray& reply);
    bool feedReply(const uint8_t* bytes, int32_t length);
    void scheduleNext();
    void preparePollFrame();
    bool workerHasWork() const;
    void wakeWorker();
    void waitForEndingWorker();
    void startWorker();

    // Shared shapes of several reply callbacks.
    void machineReply(int32_t status);
    void stateReply(int32_t errorCmd, int32_t status, bool fileMissingIs103);
    void executionAlarmReply(const char* name);
    void machineValuesReply(int32_t status, int32_t count, const int32_t* values);
    void fileStepReply(const char* name, bool logs, int32_t errorCmd, const char* zeroText, int32_t status);
    void transferStateReply(const char* name, const char* unknownPrefix, int32_t status);
    void textBlockReply(const char* name, int32_t errorCmd, const char* storedText, const char* lostText,
                        int32_t status);

    int32_t sendReadBatch();
    bool allPolled(const int32_t* addresses, int count) const;
    // onlyPolled: an asynchronous read of an address no poll has read gives 111.
    int32_t readVarsLocked(const int32_t* addresses, int count, int32_t* values, bool split, bool onlyPolled);
    int32_t writeVarsLocked(const int32_t* addresses, int count, const int32_t* values, bool split);
    int32_t bitWordAddress(int32_t channel, BitType bitType, int32_t bit) const;
    bool bitWordsValid(int32_t channel, BitType bitType, const int32_t* bits, int count) const;
    int32_t changeBits(const char* signature, int32_t channel, BitType bitType, const int32_t* bits, int count,
                       bool add);

    // The steps of getCncCurrentError, under the mutex; the text goes to recvFileData.
    const char* keepErrorFileText(int32_t status);
    const char* refuseErrorFile(int32_t status, const char* message);
    Exchange errorFileStep(int32_t frameLength);
    Exchange prepareErrorFile(int32_t fileChannel, bool history);
    Exchange readErrorFile(const QByteArray& path);
    Exchange readErrorFilePieces();

    std::condition_variable workerWake;
    std::unique_ptr<Transport> transport;
    std::unique_ptr<IoThread> serialIo;         // the serial port's own thread, made with the port
    std::unique_ptr<Transport> serialTransport; // made by connect232Com; goes before serialIo

    // ---- program text transfer (AsynchronousClientTransfer.cpp) ----
public:
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

private:
    bool transferLinkUp(const char* signature);
    // Under the mutex: 0 when the text may go; 1 (reported) for a byte with the top bit set;
    // ResultCode::RestartTransfer when the declaration went on an earlier link.
    int32_t checkText(const char* signature, int32_t errorCmd, const char* text);
    // Under the mutex: whether text holds a byte with the top bit set; if so, reported.
    bool refusedUnsendable(const char* signature, int32_t errorCmd, const char* text);
    Exchange transferExchange(const QByteArray& frame);
    Exchange queueTextBlock(std::unique_lock<std::mutex>& lock, const QByteArray& frame);
    // Sleeps ms with the mutex released; false when tcpDisconnect was called since disconnects.
    bool pauseWhileMemoryFull(std::unique_lock<std::mutex>& lock, int ms, quint64 disconnects);

    quint64 declaredLink = 0;                  // under mutex: the link generation of the accepted declaration
    std::atomic<quint64> disconnectCalls{0};   // counts tcpDisconnect calls, to end a memory-full wait
    std::condition_variable transferWake;      // wakes that wait; used with mutex
};
