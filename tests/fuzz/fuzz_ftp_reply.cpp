// Feeds arbitrary bytes to the FTP reply parser, once whole and once in pieces whose sizes the
// first byte picks: both must give the same replies and the same end (limits included), every reply code must
// be a real one, and nothing may outgrow the parser's limit.
#include "FtpReplyParser.h"
#include "FuzzInput.h"

#include <QList>


namespace {
struct Outcome
{
    QList<FtpReply> replies;
    FtpReplyParser::Status last = FtpReplyParser::NeedMore;
};

Outcome run(const QByteArray& stream, int piece)
{
    FtpReplyParser parser;
    Outcome out;
    for (int at = 0; at < stream.size() && out.last != FtpReplyParser::Malformed; at += piece) {
        parser.feed(stream.mid(at, piece));
        FtpReply reply;
        while ((out.last = parser.next(&reply)) == FtpReplyParser::ReplyReady) {
            FUZZ_CHECK(reply.code >= 100 && reply.code <= 599 && reply.text.size() <= FtpReplyParser::kMaxReplyBytes);
            out.replies << reply;
        }
    }
    return out;
}
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1 || size > 200000)
        return 0;
    const int piece = 1 + data[0] % 64;
    const QByteArray stream(reinterpret_cast<const char*>(data + 1), int(size - 1));
    const Outcome whole = run(stream, stream.size() + 1);
    const Outcome pieces = run(stream, piece);
    FUZZ_CHECK(whole.last == pieces.last && whole.replies.size() == pieces.replies.size());
    for (int i = 0; i < whole.replies.size(); ++i)
        FUZZ_CHECK(whole.replies[i].code == pieces.replies[i].code && whole.replies[i].text == pieces.replies[i].text);
    return 0;
}
