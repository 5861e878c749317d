#pragma once

// Every wait and pause of the library in one place. The defaults are the times the controllers
// are built for; the test suites run them scaled down (setScale) so that a silent controller
// costs them milliseconds instead of seconds. The scale is not exported from the shared library.
namespace CommTiming {

struct Durations
{
    int replyWaitMs = 600;           // one wait for reply bytes
    int replyWaits = 3;              // waits per request: the whole reply budget
    int quietGapMs = 100;            // a serial frame of open length ends after this much quiet
    int commandReplyBudgetMs = 1800; // one command's reply budget on a transport
    int connectWaitMs = 500;         // opening and closing the command link
    int queueRoomWaitMs = 4000;      // longer than the worker's two unanswered exchanges
    int queueRoomPollMs = 5;
    int blockResendPauseMs = 50;     // a controller short of memory needs time to free some
    int memoryFullPauseMaxMs = 500;  // the longest pause while the DNC memory stays full
    int fileReadyPauseMs = 500;      // between asks whether the error file is ready
    int addressAnswerWaitMs = 600;   // the answer to an address datagram
    int bufferConnectMs = 500;       // the remote buffer's own link
    int bufferReplyMs = 500;         // a reply that has begun is whole within this, or broken
    int bufferStallLimitMs = 10000;  // no reply to a request for this long stops the stream
    int bufferIdleSleepMs = 20;
    int bufferStallSleepMs = 200;
    int bufferResendPauseMs = 50;    // the pace of the transfer-state polling
    int ftpSyncConnectMs = 2000;
    int ftpStepMs = 30000;           // one FTP step (login, a command, a data transfer)
};

// Today's durations: the defaults times the scale, never below 1 ms.
Durations now();

// Waits ms (an unscaled duration: take it from now()), sleeping, so the core stays free.
void pause(int ms);

// 1.0 unless a test suite chose otherwise; counts (replyWaits) are never scaled.
void setScale(double scale);
double scale();

} // namespace CommTiming
