/* Remote-buffer streaming.
 *
 * A remote buffer streams program text to one channel over a connection and a thread of its
 * own, without a target: bufOpen returns a handle, bufWrite queues text, the buffer's thread
 * sends it 480 bytes at a time as the controller's replies allow. The application polls
 * getBufState: text is taken only in state 0 (ready) or 5 (idle), and 5 after the writes means
 * that the controller has acknowledged every piece.
 *
 * Usage: remote_buffer ADDRESS | SIMULATOR-PROGRAM */
#include "AsyncCommModule.h"
#include "example_support.h"

#include <stdio.h>

enum { CHANNEL = 1, DNC_MODE = 1 };

/* State 3 with a text: the connection failed or the stream stopped, for good. (Right after
 * bufOpen the state is 3 too, without a text, while the buffer connects.) */
static int stopped(AcmRemoteBuffer* buffer)
{
    return getBufState(buffer) == 3 && getBufStateInf(buffer)[0] != '\0';
}

/* Waits (bounded) until the buffer reaches `wanted`, or has stopped. */
static CncLong waitForState(AcmRemoteBuffer* buffer, CncLong wanted, int maxMs)
{
    for (int waited = 0; getBufState(buffer) != wanted && !stopped(buffer) && waited < maxMs; waited += 10)
        sleepMs(10);
    return getBufState(buffer);
}

int main(int argc, char** argv)
{
    char* address = (char*)exampleController(argc, argv);
    if (!address)
        return 2;

    AcmRemoteBuffer* buffer = bufOpen(address, DNC_MODE, CHANNEL);
    if (!buffer)
        return 1;
    /* bufOpen returns before the connection is made (state 3), then declares the channel's
     * file (state 2): bufWrite refuses text until the state is 0 or 5. */
    CncLong state = waitForState(buffer, 5, 3000);
    printf("opened: state %ld, \"%s\"\n", (long)state, getBufStateInf(buffer));
    int ok = state == 5;

    /* Room for text now, in bytes: 1000 queued requests of 480 bytes in DNC mode (0 unless the
     * state is 0 or 5). A writer that may fill it waits for room before each bufWrite. */
    printf("room for %ld bytes\n", (long)getBufValidCnt(buffer));

    /* Stream a program in pieces, as a DNC station reads it from disk. bufWrite returns 1 when
     * it queued the text, 0 when it refused it (nothing queued). */
    char block[200];
    for (int part = 1; ok && part <= 20; ++part) {
        snprintf(block, sizeof block, "N%d G01 X%d.0 Y%d.0 F1200\nN%d G01 X0 Y0\n", part * 10, part, part * 2,
                 part * 10 + 5);
        ok = bufWrite(buffer, block) == 1;
    }

    /* State 5 again: every piece has been sent and acknowledged. */
    state = waitForState(buffer, 5, 5000);
    printf("streamed: state %ld, \"%s\", room for %ld bytes\n", (long)state, getBufStateInf(buffer),
           (long)getBufValidCnt(buffer));
    ok = ok && state == 5;

    /* Closing joins the buffer's thread and frees it; the handle is gone afterwards. */
    ok = bufClose(buffer) == 1 && ok;
    printf("%s\n", ok ? "remote_buffer: ok" : "remote_buffer: FAILED");
    return ok ? 0 : 1;
}
