#pragma once
#include <QByteArray>

#include <functional>

// Gathers the bytes of one reply from a link until the framing says the frame is complete,
// within three waits of 600 ms in all: a reply split across reads is never cut.
namespace ReplyCollector {

constexpr int kReplyWaitMs = 600;
constexpr int kReplyWaits = 3;

// readSome(waitMs) returns what arrived within waitMs (empty when nothing did);
// linkUp() tells whether waiting is still worth it. Returns the complete frame, or
// whatever arrived when the budget ran out.
QByteArray collect(int frameMode, QByteArray alreadyRead, const std::function<QByteArray(int)>& readSome,
                   const std::function<bool()>& linkUp);

} // namespace ReplyCollector
