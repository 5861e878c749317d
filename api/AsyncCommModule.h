/*
 * AsyncCommModule: command and observe CNC controllers from a PC application.
 *
 * Every function uses the C calling convention. Result codes are signed 32-bit:
 * 0 success (or queued), 1 argument out of range / unknown cncID / channel outside
 * 1..channel count, 3 reply failure, 4 command queue full, 6 needs asynchronous mode,
 * 7 not connected, 10 local UDP port not bound, 100 + s controller failure state s,
 * 101 parameters rejected, 102 refused while a program runs, 103 memory full or file
 * missing, 111 no valid reply, 200 controller execution alarm.
 *
 * Integer width: every value that the controller protocol carries as a 32-bit integer
 * is a CncLong here, which is int32_t on every platform (plain `long` is 64 bits on
 * 64-bit Linux). Arrays passed by pointer therefore hold 32-bit elements.
 *
 * This header declares a function named `connect`. Do not include it in the same
 * translation unit as <sys/socket.h>; the library's symbols are versioned, so the
 * C library's `connect` stays in force for every other library in the process.
 *
 * Threads: calls on one target may come from several threads; targets must not be
 * added or removed while any other call runs.
 */
#ifndef ASYNC_COMM_MODULE_H
#define ASYNC_COMM_MODULE_H

#include <stdint.h>
#ifndef __cplusplus
#include <stdbool.h>
#endif

#ifndef ACM_EXPORT
#if defined(_WIN32)
#define ACM_EXPORT __declspec(dllexport)
#else
#define ACM_EXPORT __attribute__((visibility("default")))
#endif
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef int32_t CncLong;

#ifndef ACM_ERR_CALLBACK_DEFINED
#define ACM_ERR_CALLBACK_DEFINED
/* Called with a reply's error report; detail is valid only during the call. Runs on the
 * thread that parsed the reply, with that client's lock held: do not call a command of
 * the same target from inside it. */
typedef void (*ErrCallbackFunc)(CncLong errorCmd, CncLong cmdState, const char* detail);
#endif

/* ---- targets and connection ---- */
/* maxDncCh channels (at least 1, at most 99; more gives false). Channels 1..30 become
 * asynchronous when bit k of asyncMask is set, the target-level client when bit 0 is set;
 * bit 31 (the sign) and channels above 30 always stay synchronous. */
ACM_EXPORT bool addTargetCnc(int cncID, int maxDncCh, char* ip, int asyncMask);
/* Stops and joins the target's worker threads before destroying it. */
ACM_EXPORT bool removeTargetCnc(int cncID);
ACM_EXPORT bool connect(int cncID);
ACM_EXPORT bool disconnect(int cncID);
ACM_EXPORT bool getTcpConnectFlag(int cncID);
ACM_EXPORT CncLong CheckTcpWdt(int cncID);
ACM_EXPORT bool setErrCallbackFunc(ErrCallbackFunc callback, int cncID);
ACM_EXPORT CncLong getErrorDeb(CncLong debugFlags, int cncID);

/* ---- controller variables and bits ----
 * Variable address: area * 1000000 + index, area 0..16, index 0..169999. */
/* Registers all addresses for the asynchronous poll, or none: 1 when an address is invalid (it could
 * never be polled), when addresses is null or count < 1. */
ACM_EXPORT CncLong registerVars(CncLong* addresses, int count, int cncID);
ACM_EXPORT CncLong removeVars(CncLong* addresses, int count, int cncID);
ACM_EXPORT CncLong clearVars(int cncID);
ACM_EXPORT CncLong readVars(CncLong* addresses, int count, CncLong* values, int cncID);
/* Writes in requests of 31 pairs. Synchronous: each request waits for its reply; 3 when one reported a
 * failure, 111 when one got no reply (the pairs before it were written). Asynchronous: the whole batch
 * is queued or nothing is: 4 and nothing sent when the command queue cannot take all its requests
 * (62 pairs at most when the queue is empty). */
ACM_EXPORT CncLong writeVars(CncLong* addresses, int count, CncLong* values, int cncID);
ACM_EXPORT CncLong registerBits(CncLong channel, CncLong bitType, CncLong* bits, int count, int cncID);
ACM_EXPORT CncLong removeBits(CncLong channel, CncLong bitType, CncLong* bits, int count, int cncID);
ACM_EXPORT CncLong readBits(CncLong channel, CncLong bitType, CncLong* bits, int count, CncLong* values, int cncID);

/* ---- hand motion, handwheel and homing ---- */
ACM_EXPORT CncLong jogMotionV_Run(CncLong channel, CncLong axis, CncLong feed, CncLong isNegDir, CncLong isFast,
                                  int cncID);
ACM_EXPORT CncLong jogMotionV_Stop(CncLong channel, CncLong axis, int cncID);
ACM_EXPORT CncLong jogMotionV_MfoSet(CncLong channel, CncLong mfo, int cncID);
ACM_EXPORT CncLong jogMotionV_FastOnSet(CncLong channel, CncLong isFast, int cncID);
ACM_EXPORT CncLong jogMotionV_Para(CncLong channel, CncLong axis, CncLong feed, CncLong isNegDir, CncLong isFast,
                                   int cncID);
ACM_EXPORT CncLong jogMotionV_AxesRun(CncLong channel, CncLong axisHBits, CncLong axisLBits, int cncID);
ACM_EXPORT CncLong jogMotionV_AxesStop(CncLong channel, CncLong axisHBits, CncLong axisLBits, int cncID);
ACM_EXPORT CncLong jogMotionP_Run(CncLong channel, CncLong axis, CncLong feed, CncLong len, CncLong isAbs,
                                  CncLong isMecCoord, int cncID);
ACM_EXPORT CncLong jogMotionP_MfoSet(CncLong channel, CncLong mfo, int cncID);
ACM_EXPORT CncLong jogMotionP_Stop(CncLong channel, CncLong axis, int cncID);
ACM_EXPORT CncLong jogMotionP_IsStop(CncLong channel, CncLong axis, CncLong mode, CncLong* isStop, int cncID);
ACM_EXPORT CncLong jogMotionP_Para(CncLong channel, CncLong axis, CncLong feed, CncLong len, CncLong isAbs,
                                   CncLong isMecCoord, int cncID);
ACM_EXPORT CncLong jogMotionP_AxesRun(CncLong channel, CncLong axisHBits, CncLong axisLBits, int cncID);
ACM_EXPORT CncLong jogMotionP_AxesStop(CncLong channel, CncLong axisHBits, CncLong axisLBits, int cncID);
ACM_EXPORT CncLong jogMotionP_AxesIsStop(CncLong channel, CncLong axisHBits, CncLong axisLBits, CncLong mode,
                                         CncLong* stopHBits, CncLong* stopLBits, int cncID);
ACM_EXPORT CncLong mpgSelection(CncLong channel, CncLong mpgId, int cncID);
ACM_EXPORT CncLong mpgAxesSet(CncLong channel, CncLong axisHBits, CncLong axisLBits, int cncID);
ACM_EXPORT CncLong mpgMfoSet(CncLong channel, CncLong mfo, int cncID);
ACM_EXPORT CncLong homeRunAxis(CncLong channel, CncLong axis, int cncID);
ACM_EXPORT CncLong homeRunAxes(CncLong channel, CncLong axisHBits, CncLong axisLBits, CncLong* first,
                               CncLong* second, int cncID);
ACM_EXPORT CncLong homeAxisIsEnd(CncLong channel, CncLong axis, CncLong* isEnd, int cncID);
ACM_EXPORT CncLong homeAxesIsEnd(CncLong channel, CncLong axisHBits, CncLong axisLBits, CncLong* first,
                                 CncLong* second, int cncID);
ACM_EXPORT CncLong homeAxisIsInProcess(CncLong channel, CncLong axis, CncLong* inProcess, int cncID);
ACM_EXPORT CncLong homeAxesIsInProcess(CncLong channel, CncLong axisHBits, CncLong axisLBits, CncLong* first,
                                       CncLong* second, int cncID);

/* ---- program control ---- */
ACM_EXPORT CncLong prgCycleStart(CncLong channel, int cncID);
ACM_EXPORT CncLong prgStop(CncLong channel, int cncID);
ACM_EXPORT CncLong prgPause(CncLong channel, CncLong arg2, CncLong arg3, int cncID);
ACM_EXPORT CncLong prgSingleBlockSet(CncLong channel, CncLong value, int cncID);
ACM_EXPORT CncLong prgOptionSkipSet(CncLong channel, CncLong value, int cncID);
ACM_EXPORT CncLong prgMpgTestSet(CncLong channel, CncLong value, int cncID);
ACM_EXPORT CncLong prgMpgTestSimuSet(CncLong channel, CncLong value, int cncID);
ACM_EXPORT CncLong emStopSet(CncLong channel, CncLong value, int cncID);
ACM_EXPORT CncLong prgReset(CncLong channel, int cncID);
ACM_EXPORT CncLong reset(CncLong channel, int cncID);
/* Points into storage of the target kept for the calling thread: valid until the same thread's next
 * getRuningPrg on the same target (calls from other threads do not touch it) or the target's removal. */
ACM_EXPORT char* getRuningPrg(CncLong channel, int cncID);

/* ---- bits of the controller's I/O tables ---- */
ACM_EXPORT CncLong getIBit(CncLong channel, CncLong index, CncLong* value, int cncID);
ACM_EXPORT CncLong getOBit(CncLong channel, CncLong index, CncLong* value, int cncID);
ACM_EXPORT CncLong getCBit(CncLong channel, CncLong index, CncLong* value, int cncID);
ACM_EXPORT CncLong getSBit(CncLong channel, CncLong index, CncLong* value, int cncID);
ACM_EXPORT CncLong getABit(CncLong channel, CncLong index, CncLong* value, int cncID);
ACM_EXPORT CncLong setPlcOBit(CncLong channel, CncLong index, CncLong value, int cncID);
ACM_EXPORT CncLong setCncOBit(CncLong channel, CncLong index, CncLong value, CncLong extra, int cncID);
ACM_EXPORT CncLong setCBit(CncLong channel, CncLong index, CncLong value, int cncID);
ACM_EXPORT CncLong setSBit(CncLong channel, CncLong index, CncLong value, int cncID);
ACM_EXPORT CncLong setABit(CncLong channel, CncLong index, CncLong value, int cncID);
ACM_EXPORT CncLong getIbits(CncLong channel, CncLong* elements, CncLong count, CncLong* first, CncLong* second,
                            int cncID);
ACM_EXPORT CncLong setPlcObits(CncLong channel, CncLong* first, CncLong* second, CncLong count, int cncID);
ACM_EXPORT CncLong setCncObits(CncLong channel, CncLong* first, CncLong* second, CncLong count, CncLong extra,
                               int cncID);

/* ---- axes, servo, alarms and network address ---- */
ACM_EXPORT CncLong getAxisMotionStatus(CncLong channel, CncLong axis, CncLong* status, int cncID);
ACM_EXPORT CncLong getAxesMotionStatus(CncLong channel, CncLong axisHBits, CncLong axisLBits, CncLong* first,
                                       CncLong* second, int cncID);
ACM_EXPORT CncLong servoOnAxisSet(CncLong arg1, CncLong arg2, int cncID);
ACM_EXPORT CncLong servoOnAxesSet(CncLong arg1, CncLong arg2, CncLong arg3, CncLong arg4, int cncID);
ACM_EXPORT CncLong servoOnAxisGet(CncLong arg1, CncLong* value, int cncID);
ACM_EXPORT CncLong servoOnAxesGet(CncLong arg1, CncLong arg2, CncLong* first, CncLong* second, int cncID);
ACM_EXPORT CncLong getAxisCoord(CncLong arg1, CncLong arg2, CncLong arg3, CncLong* coord, int cncID);
ACM_EXPORT CncLong getAxesCoord(CncLong arg1, CncLong arg2, CncLong arg3, CncLong arg4, CncLong count,
                                CncLong* coords, int cncID);
ACM_EXPORT CncLong alarmRead(CncLong channel, CncLong* first, CncLong* second, CncLong* third, int cncID);
ACM_EXPORT CncLong udpSetCncIp(char* ip, int cncID);
ACM_EXPORT CncLong SetCncStaticIp(CncLong arg1, CncLong arg2, CncLong arg3, CncLong arg4, CncLong arg5,
                                  CncLong arg6, int cncID);

/* ---- controller type ---- */
ACM_EXPORT CncLong setCncType(CncLong type, CncLong channel, int cncID);

/* ---- program text transfer ---- */
ACM_EXPORT CncLong setTransFileType(CncLong type, CncLong channel, char* fileName, int cncID);
ACM_EXPORT CncLong getTransFileState(CncLong type, CncLong channel, char* fileName, int cncID);
ACM_EXPORT CncLong overwrite(char* text, CncLong channel, int cncID);
ACM_EXPORT CncLong append(char* text, CncLong channel, int cncID);
ACM_EXPORT CncLong fileEnd(CncLong channel, int cncID);
ACM_EXPORT CncLong uploadFile(CncLong type, CncLong channel, char* fileName, char* text, int cncID);
ACM_EXPORT CncLong cycStart(CncLong channel, char* fileName, int cncID);

/* ---- controller files and error files ---- */
ACM_EXPORT CncLong getCncFileInf(CncLong type, CncLong channel, char* fileName, char* info, int cncID);
ACM_EXPORT CncLong writeCncFile(CncLong type, char* fileName, char* content, int cncID);
/* Points into storage of the target kept for the calling thread: valid until the same thread's next
 * getCncCurrentError on the same target (calls from other threads do not touch it) or the target's removal. */
ACM_EXPORT char* getCncCurrentError(CncLong channel, int cncID);
ACM_EXPORT CncLong getCurErrString(CncLong channel, CncLong value, char* text, int cncID);

/* ---- remote buffer ---- */
typedef struct AcmRemoteBuffer AcmRemoteBuffer;
ACM_EXPORT AcmRemoteBuffer* bufOpen(char* ip, int mode, int channel);
ACM_EXPORT CncLong bufWrite(AcmRemoteBuffer* buffer, char* text);
ACM_EXPORT CncLong bufClear(AcmRemoteBuffer* buffer);
ACM_EXPORT CncLong bufClose(AcmRemoteBuffer* buffer);
ACM_EXPORT CncLong getBufValidCnt(AcmRemoteBuffer* buffer);
ACM_EXPORT CncLong getBufState(AcmRemoteBuffer* buffer);
ACM_EXPORT char* getBufStateInf(AcmRemoteBuffer* buffer);

/* ---- FTP uploads ---- */
ACM_EXPORT CncLong ftpUploadFile(CncLong type, CncLong channel, char* sPath, char* hostIp, int cncID);
ACM_EXPORT CncLong ftpUploadFileDes(char* source, char* destination, char* hostIp, int cncID);
ACM_EXPORT CncLong ftpUpdateSystem(char* source, char* hostIp, int cncID);
ACM_EXPORT CncLong ftpMkdir(char* desPath, char* hostIp, int cncID);
ACM_EXPORT double getFtpUploadFileProgress(int cncID);

#ifdef __cplusplus
}
#endif

#endif
