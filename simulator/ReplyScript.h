#pragma once
#include <QByteArray>
#include <QList>
#include <cstdint>

// How the simulator answers the next matching requests instead of its normal reply.
struct ReplyScript {
    // Close: the request is taken in (and acted on), then the connection closes without a reply.
    // CloseMidReply: the first half of the reply goes out, then the connection closes.
    // Before: raw (a frame in the TCP framing; a serial line gets it in its own) goes out first,
    // then, delayMs later, the normal reply: a stray frame ahead of the real answer. Over TCP a
    // negative delayMs holds the reply back until the connection's next request arrives and
    // sends it just ahead of that one's reply: a controller one reply behind.
    enum Kind { Status, Silence, Delay, Truncate, BadChecksum, Close, Split, Raw, Dribble, CloseMidReply, Before };
    Kind kind = Status;
    int status = 0;          // status byte of the reply (Status, Delay, Split, Truncate)
    int delayMs = 0;         // Delay: answer after this; Split: pause between the two halves;
                             // Dribble: pause before each byte; Before: pause before the reply
    QByteArray raw;          // Raw: these bytes are the whole reply (also with Delay and Dribble);
                             // Before: the stray frame
    QList<int32_t> values;   // reserved: replacement values of a value-carrying reply
    int times = 1;           // matching requests served; -1 = forever
    int channel = -1;        // only requests that carry this channel; -1 = any request
};
