#include "FtpReplyParser.h"

#include <QList>

#include <gtest/gtest.h>

namespace {

struct Parsed
{
    QList<FtpReply> replies;
    FtpReplyParser::Status last = FtpReplyParser::NeedMore;
};

// Feeds the stream in pieces of `step` bytes and takes every reply out.
Parsed parse(const QByteArray& stream, int step)
{
    FtpReplyParser parser;
    Parsed out;
    for (int at = 0; at < stream.size(); at += step) {
        parser.feed(stream.mid(at, step));
        FtpReply reply;
        while ((out.last = parser.next(&reply)) == FtpReplyParser::ReplyReady)
            out.replies << reply;
        if (out.last == FtpReplyParser::Malformed)
            break;
    }
    return out;
}

TEST(FtpReplyParser, SingleAndMultiLineRepliesInAnyPieces)
{
    const QByteArray stream = "220 Ready\r\n"
                              "230-Welcome\r\n"
                              " 230 indented text is text\r\n"
                              "230-still text\r\n"
                              "231 another code is text too\r\n"
                              "\r\n"
                              "230 Logged in\r\n"
                              "150 Opening (12 bytes)\n"
                              "226\r\n";
    for (int step : {1, 2, 3, 7, 1000}) {
        SCOPED_TRACE(step);
        const Parsed p = parse(stream, step);
        EXPECT_EQ(p.last, FtpReplyParser::NeedMore);
        ASSERT_EQ(p.replies.size(), 4);
        EXPECT_EQ(p.replies[0].code, 220);
        EXPECT_EQ(p.replies[0].text, QByteArray("Ready"));
        EXPECT_EQ(p.replies[1].code, 230);
        EXPECT_EQ(p.replies[1].text, QByteArray("Welcome\n 230 indented text is text\n230-still text\n"
                                                "231 another code is text too\n\nLogged in"));
        EXPECT_EQ(p.replies[2].code, 150);
        EXPECT_EQ(p.replies[2].text, QByteArray("Opening (12 bytes)"));
        EXPECT_EQ(p.replies[3].code, 226);
        EXPECT_EQ(p.replies[3].text, QByteArray());
        EXPECT_EQ(p.replies[3].codeAndText(), QByteArray("226 "));
    }
}

TEST(FtpReplyParser, GarbageIsMalformedAndStaysSo)
{
    for (const QByteArray& bad : {QByteArray("hello\r\n"), QByteArray("22 short\r\n"), QByteArray("220x\r\n"),
                                 QByteArray("620 no such class\r\n"), QByteArray("099 no such class\r\n"),
                                 QByteArray("\r\n")}) {
        SCOPED_TRACE(bad.constData());
        FtpReplyParser parser;
        parser.feed(bad);
        FtpReply reply;
        EXPECT_EQ(parser.next(&reply), FtpReplyParser::Malformed);
        parser.feed("220 fine\r\n");
        EXPECT_EQ(parser.next(&reply), FtpReplyParser::Malformed);
        parser.reset();
        parser.feed("220 fine\r\n");
        ASSERT_EQ(parser.next(&reply), FtpReplyParser::ReplyReady);
        EXPECT_EQ(reply.code, 220);
    }
}

TEST(FtpReplyParser, EndlessLinesAndRepliesAreCutOff)
{
    FtpReplyParser parser;
    FtpReply reply;
    parser.feed("220 " + QByteArray(FtpReplyParser::kMaxReplyBytes - 4, 'a'));
    EXPECT_EQ(parser.next(&reply), FtpReplyParser::NeedMore); // at the limit: still a line
    parser.feed("a");
    EXPECT_EQ(parser.next(&reply), FtpReplyParser::Malformed);

    FtpReplyParser whole; // the same over-long line in one piece
    whole.feed("220 " + QByteArray(FtpReplyParser::kMaxReplyBytes, 'a') + "\r\n");
    EXPECT_EQ(whole.next(&reply), FtpReplyParser::Malformed);

    FtpReplyParser multi;
    multi.feed("220-start\r\n");
    const QByteArray line = QByteArray(1000, 'b') + "\r\n";
    FtpReplyParser::Status status = FtpReplyParser::NeedMore;
    for (int i = 0; i < 100 && status == FtpReplyParser::NeedMore; ++i) {
        multi.feed(line);
        status = multi.next(&reply);
    }
    EXPECT_EQ(status, FtpReplyParser::Malformed);
}

} // namespace
