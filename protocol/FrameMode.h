#pragma once

// The three framings of the command protocol.
enum FrameMode : int {
    FrameTcp = 0,          // 7-byte header, no check sum
    FrameSerialStation = 1, // station byte, CRC-16 trailer
    FrameSerialColon = 2,   // ':' lead-in and station byte; requests end in CRC-16, replies in LRC + LF
};

// Offset of the command code in a frame of the given framing.
inline int headerLenForMode(int mode)
{
    return mode == FrameSerialStation ? 1 : mode == FrameSerialColon ? 2 : 7;
}

// Length of the same frame in the TCP framing: the rules that judge a reply by its length
// (a read piece's count, the end of an error file) count it this way in every framing.
inline int tcpFrameLength(int mode, int length)
{
    const int trailer = mode == FrameSerialStation || mode == FrameSerialColon ? 2 : 0;
    return length - headerLenForMode(mode) - trailer + headerLenForMode(FrameTcp);
}

// Every frame of either side must fit this buffer.
constexpr int kFrameBufferSize = 500;
// A request may fill the buffer; a reply must leave one byte of it free, as the receive path has
// always refused a reply of 500 bytes.
constexpr int kLongestRequest = kFrameBufferSize;
constexpr int kLongestReply = kFrameBufferSize - 1;
