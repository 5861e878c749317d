/*
 * AsyncCommModuleLoader.h: use the library without linking it.
 *
 * The library exports a function named `connect`. A program that links the library directly
 * and also calls the C library's connect(fd, addr, len) for sockets of its own gets the
 * library's function instead. This header loads the library at run time with local binding
 * (RTLD_NOW | RTLD_LOCAL), so none of its names enter the program's global scope, and fills a
 * table with the 99 functions, each looked up under the library's symbol version. The program
 * calls them through the table (acm.connect(cncID)) and keeps the C library's connect.
 *
 * Usable from C99 and C++. Include this header instead of AsyncCommModule.h (in C++ and C11 both
 * may be included together); do not link the library. Link with the dynamic loader: -ldl (CMake:
 * ${CMAKE_DL_LIBS}); glibc 2.34 and later have it in the C library itself.
 *
 *     AcmLibrary acm;
 *     if (acmLibraryLoad(&acm, NULL) != ACM_LOAD_OK) {   // NULL: the installed library's SONAME
 *         fprintf(stderr, "%s\n", acm.error);
 *         return 1;
 *     }
 *     acm.addTargetCnc(1, 1, address, 0);
 *     if (acm.connect(1)) ...
 *     ...
 *     acm.removeTargetCnc(1);
 *     acmLibraryUnload(&acm);
 *
 * Unload only after every target is removed (which also ends the target's FTP thread), every
 * remote buffer closed and every FTP operation ended. acmLibraryUnload gives the handle back and empties the table; the library's
 * code stays mapped (RTLD_NODELETE), because Qt objects and threads it made can outlive its last
 * call, and a later acmLibraryLoad finds it in place.
 *
 * The meaning of each result code: AsyncCommModuleResults.h (acmResultText).
 */
#ifndef ASYNC_COMM_MODULE_LOADER_H
#define ASYNC_COMM_MODULE_LOADER_H

#include <dlfcn.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#ifndef __cplusplus
#include <stdbool.h>
/* A GNU extension that <dlfcn.h> declares only under _GNU_SOURCE, which must be set before the
 * first system header; the declaration here spares the application that. */
extern void* dlvsym(void* handle, const char* symbol, const char* version);
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The types of AsyncCommModule.h, with the same definitions. */
#ifndef ASYNC_COMM_MODULE_H
typedef int32_t CncLong;
typedef struct AcmRemoteBuffer AcmRemoteBuffer;
#endif
#ifndef ACM_ERR_CALLBACK_DEFINED
#define ACM_ERR_CALLBACK_DEFINED
typedef void (*ErrCallbackFunc)(CncLong errorCmd, CncLong cmdState, const char* detail);
#endif

/* The file dlopen looks for by default: the installed library's SONAME, found the way the
 * dynamic linker finds libraries (LD_LIBRARY_PATH, the program's run path, the system's). */
#define ACM_LIBRARY_DEFAULT_FILE "libAsyncCommModule.so.1"
/* The version every export carries. */
#define ACM_LIBRARY_SYMBOL_VERSION "ACM_1.0"
#define ACM_LIBRARY_FUNCTION_COUNT 99

/* acmLibraryLoad's results. */
enum AcmLoadResult {
    ACM_LOAD_OK = 0,
    ACM_LOAD_NO_LIBRARY = 1,      /* dlopen failed: no such file, or not a loadable library */
    ACM_LOAD_MISSING_FUNCTION = 2 /* a function is missing: another library, or another version */
};

/* The library's 99 functions, in the order of AsyncCommModule.h; see there for what each does. */
typedef struct AcmLibrary {
    /* ---- targets and connection ---- */
    bool (*addTargetCnc)(int cncID, int maxDncCh, const char* ip, int asyncMask);
    bool (*removeTargetCnc)(int cncID);
    bool (*connect)(int cncID);
    bool (*disconnect)(int cncID);
    bool (*getTcpConnectFlag)(int cncID);
    CncLong (*CheckTcpWdt)(int cncID);
    bool (*setErrCallbackFunc)(ErrCallbackFunc callback, int cncID);
    CncLong (*getErrorDeb)(CncLong debugFlags, int cncID);

    /* ---- controller variables and bits ---- */
    CncLong (*registerVars)(CncLong* addresses, int count, int cncID);
    CncLong (*removeVars)(CncLong* addresses, int count, int cncID);
    CncLong (*clearVars)(int cncID);
    CncLong (*readVars)(CncLong* addresses, int count, CncLong* values, int cncID);
    CncLong (*writeVars)(CncLong* addresses, int count, CncLong* values, int cncID);
    CncLong (*registerBits)(CncLong channel, CncLong bitType, CncLong* bits, int count, int cncID);
    CncLong (*removeBits)(CncLong channel, CncLong bitType, CncLong* bits, int count, int cncID);
    CncLong (*readBits)(CncLong channel, CncLong bitType, CncLong* bits, int count, CncLong* values, int cncID);

    /* ---- hand motion, handwheel and homing ---- */
    CncLong (*jogMotionV_Run)(CncLong channel, CncLong axis, CncLong feed, CncLong isNegDir, CncLong isFast,
                              int cncID);
    CncLong (*jogMotionV_Stop)(CncLong channel, CncLong axis, int cncID);
    CncLong (*jogMotionV_MfoSet)(CncLong channel, CncLong mfo, int cncID);
    CncLong (*jogMotionV_FastOnSet)(CncLong channel, CncLong isFast, int cncID);
    CncLong (*jogMotionV_Para)(CncLong channel, CncLong axis, CncLong feed, CncLong isNegDir, CncLong isFast,
                               int cncID);
    CncLong (*jogMotionV_AxesRun)(CncLong channel, CncLong axisHBits, CncLong axisLBits, int cncID);
    CncLong (*jogMotionV_AxesStop)(CncLong channel, CncLong axisHBits, CncLong axisLBits, int cncID);
    CncLong (*jogMotionP_Run)(CncLong channel, CncLong axis, CncLong feed, CncLong len, CncLong isAbs,
                              CncLong isMecCoord, int cncID);
    CncLong (*jogMotionP_MfoSet)(CncLong channel, CncLong mfo, int cncID);
    CncLong (*jogMotionP_Stop)(CncLong channel, CncLong axis, int cncID);
    CncLong (*jogMotionP_IsStop)(CncLong channel, CncLong axis, CncLong mode, CncLong* isStop, int cncID);
    CncLong (*jogMotionP_Para)(CncLong channel, CncLong axis, CncLong feed, CncLong len, CncLong isAbs,
                               CncLong isMecCoord, int cncID);
    CncLong (*jogMotionP_AxesRun)(CncLong channel, CncLong axisHBits, CncLong axisLBits, int cncID);
    CncLong (*jogMotionP_AxesStop)(CncLong channel, CncLong axisHBits, CncLong axisLBits, int cncID);
    CncLong (*jogMotionP_AxesIsStop)(CncLong channel, CncLong axisHBits, CncLong axisLBits, CncLong mode,
                                     CncLong* stopHBits, CncLong* stopLBits, int cncID);
    CncLong (*mpgSelection)(CncLong channel, CncLong mpgId, int cncID);
    CncLong (*mpgAxesSet)(CncLong channel, CncLong axisHBits, CncLong axisLBits, int cncID);
    CncLong (*mpgMfoSet)(CncLong channel, CncLong mfo, int cncID);
    CncLong (*homeRunAxis)(CncLong channel, CncLong axis, int cncID);
    CncLong (*homeRunAxes)(CncLong channel, CncLong axisHBits, CncLong axisLBits, CncLong* first, CncLong* second,
                           int cncID);
    CncLong (*homeAxisIsEnd)(CncLong channel, CncLong axis, CncLong* isEnd, int cncID);
    CncLong (*homeAxesIsEnd)(CncLong channel, CncLong axisHBits, CncLong axisLBits, CncLong* first,
                             CncLong* second, int cncID);
    CncLong (*homeAxisIsInProcess)(CncLong channel, CncLong axis, CncLong* inProcess, int cncID);
    CncLong (*homeAxesIsInProcess)(CncLong channel, CncLong axisHBits, CncLong axisLBits, CncLong* first,
                                   CncLong* second, int cncID);

    /* ---- program control ---- */
    CncLong (*prgCycleStart)(CncLong channel, int cncID);
    CncLong (*prgStop)(CncLong channel, int cncID);
    CncLong (*prgPause)(CncLong channel, CncLong arg2, CncLong arg3, int cncID);
    CncLong (*prgSingleBlockSet)(CncLong channel, CncLong value, int cncID);
    CncLong (*prgOptionSkipSet)(CncLong channel, CncLong value, int cncID);
    CncLong (*prgMpgTestSet)(CncLong channel, CncLong value, int cncID);
    CncLong (*prgMpgTestSimuSet)(CncLong channel, CncLong value, int cncID);
    CncLong (*emStopSet)(CncLong channel, CncLong value, int cncID);
    CncLong (*prgReset)(CncLong channel, int cncID);
    CncLong (*reset)(CncLong channel, int cncID);
    char* (*getRuningPrg)(CncLong channel, int cncID);

    /* ---- bits of the controller's I/O tables ---- */
    CncLong (*getIBit)(CncLong channel, CncLong index, CncLong* value, int cncID);
    CncLong (*getOBit)(CncLong channel, CncLong index, CncLong* value, int cncID);
    CncLong (*getCBit)(CncLong channel, CncLong index, CncLong* value, int cncID);
    CncLong (*getSBit)(CncLong channel, CncLong index, CncLong* value, int cncID);
    CncLong (*getABit)(CncLong channel, CncLong index, CncLong* value, int cncID);
    CncLong (*setPlcOBit)(CncLong channel, CncLong index, CncLong value, int cncID);
    CncLong (*setCncOBit)(CncLong channel, CncLong index, CncLong value, CncLong extra, int cncID);
    CncLong (*setCBit)(CncLong channel, CncLong index, CncLong value, int cncID);
    CncLong (*setSBit)(CncLong channel, CncLong index, CncLong value, int cncID);
    CncLong (*setABit)(CncLong channel, CncLong index, CncLong value, int cncID);
    CncLong (*getIbits)(CncLong channel, CncLong* elements, CncLong count, CncLong* first, CncLong* second,
                        int cncID);
    CncLong (*setPlcObits)(CncLong channel, CncLong* first, CncLong* second, CncLong count, int cncID);
    CncLong (*setCncObits)(CncLong channel, CncLong* first, CncLong* second, CncLong count, CncLong extra,
                           int cncID);

    /* ---- axes, servo, alarms and network address ---- */
    CncLong (*getAxisMotionStatus)(CncLong channel, CncLong axis, CncLong* status, int cncID);
    CncLong (*getAxesMotionStatus)(CncLong channel, CncLong axisHBits, CncLong axisLBits, CncLong* first,
                                   CncLong* second, int cncID);
    CncLong (*servoOnAxisSet)(CncLong arg1, CncLong arg2, int cncID);
    CncLong (*servoOnAxesSet)(CncLong arg1, CncLong arg2, CncLong arg3, CncLong arg4, int cncID);
    CncLong (*servoOnAxisGet)(CncLong arg1, CncLong* value, int cncID);
    CncLong (*servoOnAxesGet)(CncLong arg1, CncLong arg2, CncLong* first, CncLong* second, int cncID);
    CncLong (*getAxisCoord)(CncLong arg1, CncLong arg2, CncLong arg3, CncLong* coord, int cncID);
    CncLong (*getAxesCoord)(CncLong arg1, CncLong arg2, CncLong arg3, CncLong arg4, CncLong count,
                            CncLong* coords, int cncID);
    CncLong (*alarmRead)(CncLong channel, CncLong* first, CncLong* second, CncLong* third, int cncID);
    CncLong (*udpSetCncIp)(const char* ip, int cncID);
    CncLong (*SetCncStaticIp)(CncLong arg1, CncLong arg2, CncLong arg3, CncLong arg4, CncLong arg5,
                              CncLong arg6, int cncID);

    /* ---- controller type ---- */
    CncLong (*setCncType)(CncLong type, CncLong channel, int cncID);

    /* ---- program text transfer ---- */
    CncLong (*setTransFileType)(CncLong type, CncLong channel, const char* fileName, int cncID);
    CncLong (*getTransFileState)(CncLong type, CncLong channel, const char* fileName, int cncID);
    CncLong (*overwrite)(const char* text, CncLong channel, int cncID);
    CncLong (*append)(const char* text, CncLong channel, int cncID);
    CncLong (*fileEnd)(CncLong channel, int cncID);
    CncLong (*uploadFile)(CncLong type, CncLong channel, const char* fileName, const char* text, int cncID);
    CncLong (*cycStart)(CncLong channel, const char* fileName, int cncID);

    /* ---- controller files and error files ---- */
    CncLong (*getCncFileInf)(CncLong type, CncLong channel, const char* fileName, char* info, int cncID);
    CncLong (*writeCncFile)(CncLong type, const char* fileName, const char* content, int cncID);
    char* (*getCncCurrentError)(CncLong channel, int cncID);
    CncLong (*getCurErrString)(CncLong channel, CncLong value, char* text, int cncID);

    /* ---- remote buffer ---- */
    AcmRemoteBuffer* (*bufOpen)(const char* ip, int mode, int channel);
    CncLong (*bufWrite)(AcmRemoteBuffer* buffer, const char* text);
    CncLong (*bufClear)(AcmRemoteBuffer* buffer);
    CncLong (*bufClose)(AcmRemoteBuffer* buffer);
    CncLong (*getBufValidCnt)(AcmRemoteBuffer* buffer);
    CncLong (*getBufState)(AcmRemoteBuffer* buffer);
    char* (*getBufStateInf)(AcmRemoteBuffer* buffer);

    /* ---- FTP uploads ---- */
    CncLong (*ftpUploadFile)(CncLong type, CncLong channel, const char* sPath, const char* hostIp, int cncID);
    CncLong (*ftpUploadFileDes)(const char* source, const char* destination, const char* hostIp, int cncID);
    CncLong (*ftpUpdateSystem)(const char* source, const char* hostIp, int cncID);
    CncLong (*ftpMkdir)(const char* desPath, const char* hostIp, int cncID);
    double (*getFtpUploadFileProgress)(int cncID);

    /* ---- the loader's own fields, after the functions ---- */
    void* handle;    /* from dlopen; null while nothing is loaded */
    char error[512]; /* why the last acmLibraryLoad failed; empty after a success */
} AcmLibrary;

/* Every function of the table by name: X(name) once each, in the order of the table. */
#define ACM_LIBRARY_FUNCTIONS(X) \
    X(addTargetCnc) X(removeTargetCnc) X(connect) X(disconnect) X(getTcpConnectFlag) X(CheckTcpWdt) \
    X(setErrCallbackFunc) X(getErrorDeb) \
    X(registerVars) X(removeVars) X(clearVars) X(readVars) X(writeVars) X(registerBits) X(removeBits) \
    X(readBits) \
    X(jogMotionV_Run) X(jogMotionV_Stop) X(jogMotionV_MfoSet) X(jogMotionV_FastOnSet) X(jogMotionV_Para) \
    X(jogMotionV_AxesRun) X(jogMotionV_AxesStop) X(jogMotionP_Run) X(jogMotionP_MfoSet) X(jogMotionP_Stop) \
    X(jogMotionP_IsStop) X(jogMotionP_Para) X(jogMotionP_AxesRun) X(jogMotionP_AxesStop) \
    X(jogMotionP_AxesIsStop) X(mpgSelection) X(mpgAxesSet) X(mpgMfoSet) X(homeRunAxis) X(homeRunAxes) \
    X(homeAxisIsEnd) X(homeAxesIsEnd) X(homeAxisIsInProcess) X(homeAxesIsInProcess) \
    X(prgCycleStart) X(prgStop) X(prgPause) X(prgSingleBlockSet) X(prgOptionSkipSet) X(prgMpgTestSet) \
    X(prgMpgTestSimuSet) X(emStopSet) X(prgReset) X(reset) X(getRuningPrg) \
    X(getIBit) X(getOBit) X(getCBit) X(getSBit) X(getABit) X(setPlcOBit) X(setCncOBit) X(setCBit) X(setSBit) \
    X(setABit) X(getIbits) X(setPlcObits) X(setCncObits) \
    X(getAxisMotionStatus) X(getAxesMotionStatus) X(servoOnAxisSet) X(servoOnAxesSet) X(servoOnAxisGet) \
    X(servoOnAxesGet) X(getAxisCoord) X(getAxesCoord) X(alarmRead) X(udpSetCncIp) X(SetCncStaticIp) \
    X(setCncType) \
    X(setTransFileType) X(getTransFileState) X(overwrite) X(append) X(fileEnd) X(uploadFile) X(cycStart) \
    X(getCncFileInf) X(writeCncFile) X(getCncCurrentError) X(getCurErrString) \
    X(bufOpen) X(bufWrite) X(bufClear) X(bufClose) X(getBufValidCnt) X(getBufState) X(getBufStateInf) \
    X(ftpUploadFile) X(ftpUploadFileDes) X(ftpUpdateSystem) X(ftpMkdir) X(getFtpUploadFileProgress)

/* Gives the handle back and empties the table; harmless on an empty or failed table. */
static inline void acmLibraryUnload(AcmLibrary* library)
{
    if (!library)
        return;
    if (library->handle)
        dlclose(library->handle);
    memset(library, 0, sizeof *library);
}

/* Puts the function name of the library's version into slot (a member of the table): 1, or 0
 * with the reason in library->error. The address goes into the function pointer by its bytes,
 * the way POSIX sanctions, so that neither C nor C++ warns about the conversion. */
static inline int acmLibraryResolve_(AcmLibrary* library, const char* file, const char* name, void* slot)
{
    void* symbol = dlvsym(library->handle, name, ACM_LIBRARY_SYMBOL_VERSION);
    if (!symbol) {
        snprintf(library->error, sizeof library->error, "%s has no function %s of version %s", file, name,
                 ACM_LIBRARY_SYMBOL_VERSION);
        return 0;
    }
    memcpy(slot, &symbol, sizeof symbol);
    return 1;
}

/* Loads the library from file (a path, or a name for the dynamic linker's search; null: the
 * default SONAME) and fills the table. ACM_LOAD_OK, or another AcmLoadResult with the reason in
 * library->error, the table empty and nothing left loaded. Not thread-safe: dlerror is shared. */
static inline int acmLibraryLoad(AcmLibrary* library, const char* file)
{
    char reason[sizeof library->error];
    memset(library, 0, sizeof *library);
    if (!file)
        file = ACM_LIBRARY_DEFAULT_FILE;
    dlerror();
    library->handle = dlopen(file, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (!library->handle) {
        const char* why = dlerror();
        snprintf(library->error, sizeof library->error, "cannot load %s: %s", file, why ? why : "unknown reason");
        return ACM_LOAD_NO_LIBRARY;
    }
#define ACM_LIBRARY_RESOLVE_(name) \
    if (!acmLibraryResolve_(library, file, #name, &library->name)) \
        goto missing;
    ACM_LIBRARY_FUNCTIONS(ACM_LIBRARY_RESOLVE_)
#undef ACM_LIBRARY_RESOLVE_
    return ACM_LOAD_OK;
missing:
    memcpy(reason, library->error, sizeof reason);
    acmLibraryUnload(library);
    memcpy(library->error, reason, sizeof reason);
    return ACM_LOAD_MISSING_FUNCTION;
}

#ifdef __cplusplus
}
#endif

#endif
