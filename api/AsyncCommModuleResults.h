/*
 * AsyncCommModuleResults.h: the meaning of the library's result codes, as short English text.
 * Header only, C99 and C++; needs neither the library nor AsyncCommModule.h.
 *
 *     CncLong r = acm.CheckTcpWdt(1);
 *     printf("CheckTcpWdt: %d (%s)\n", (int)r, acmResultText(r));
 *
 * A few codes mean something particular for single calls; the text names both. The first
 * character of getCncCurrentError's text is a status digit with the same meanings (8 and 9 are
 * its own; '1' stands for any code from 100 on).
 */
#ifndef ASYNC_COMM_MODULE_RESULTS_H
#define ASYNC_COMM_MODULE_RESULTS_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The text of code: never null, valid for the whole run. */
static inline const char* acmResultText(int32_t code)
{
    switch (code) {
    case 0:
        return "success, or queued in asynchronous mode";
    case 1:
        return "argument out of range: unknown cncID, channel outside 1..channel count, or a bad value";
    case 3:
        return "the controller's reply reported a failure";
    case 4:
        return "command queue full";
    case 5:
        return "text transfer stalled: the controller kept refusing a block, or the queue stayed full";
    case 6:
        return "needs asynchronous mode";
    case 7:
        return "not connected";
    case 8:
        return "error file not ready in time";
    case 9:
        return "no such error file: channel selector outside 0..8";
    case 10:
        return "local UDP port not bound";
    case 12:
        return "the link was renewed since the file declaration: nothing sent, start the transfer again";
    case 100:
        return "controller failure (state 0); writeCncFile: the open failed";
    case 101:
        return "parameters rejected by the controller; writeCncFile: a piece failed";
    case 102:
        return "refused while a program runs or the file is in use; writeCncFile: the close failed";
    case 103:
        return "controller memory full, or the file does not exist";
    case 111:
        return "no valid reply in time";
    case 112:
        return "getCurErrString: the length request failed; or a sampling request brought no point";
    case 113:
        return "getCurErrString: a text request failed or brought nothing";
    case 200:
        return "controller execution alarm";
    default:
        break;
    }
    if (code > 100 && code < 200)
        return "controller failure: the reply's state is the code minus 100";
    return "unknown result code";
}

#ifdef __cplusplus
}
#endif

#endif
