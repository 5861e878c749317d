#include "InjectionRuleParser.h"

#include "ControllerModel.h"
#include "FrameMode.h"
#include "FrameWriter.h"
#include "RequestChannel.h"
#include "RequestKind.h"
#include "VProtocol_Client.h"

#include <QHostAddress>
#include <QRegularExpression>

#include <limits>

namespace {
constexpr int64_t kInt32Min = std::numeric_limits<int32_t>::min();
constexpr int64_t kInt32Max = std::numeric_limits<int32_t>::max();
constexpr int64_t kMostMs = 600000;
constexpr int64_t kMostTimes = 1000000;
constexpr int kFirstChannel = 1;
constexpr int kLastChannel = 99;
constexpr int kLastErrorFileChannel = 8;
// Requests whose channel the library checks to start at 1: a rule for their channel 0 never matches.
bool channelStartsAtOne(uint8_t code)
{
    return code == 'r' || code == 'q' || code == 'd' || code == 'f' || code == 'g';
}
constexpr int kNameBytes = 100;

const QStringList kConditions{QStringLiteral("busy"),           QStringLiteral("dnc-capacity"),
                              QStringLiteral("running"),        QStringLiteral("emergency-stop"),
                              QStringLiteral("alarm"),          QStringLiteral("variable"),
                              QStringLiteral("error"),          QStringLiteral("error-history")};
// Ways of delivering the reply; at most one per rule.
const QStringList kDeliveries{QStringLiteral("delay"),    QStringLiteral("split"),   QStringLiteral("dribble"),
                              QStringLiteral("truncate"), QStringLiteral("corrupt"), QStringLiteral("silent"),
                              QStringLiteral("close")};

// Requests whose frame has no sub-code byte: their first argument follows the code.
bool hasSubCode(uint8_t code)
{
    switch (code) {
    case 'p': case 'A': case 'B': case 'D': case 'x': case 'y': case 0x80: case 0x81: case 0x84:
        return false;
    default:
        return true;
    }
}

QString requestName(uint8_t code)
{
    if ((code >= 'A' && code <= 'Z') || (code >= 'a' && code <= 'z'))
        return QStringLiteral("'%1'").arg(QChar(code));
    return QStringLiteral("0x%1").arg(code, 2, 16, QLatin1Char('0'));
}

ReplyScript::Kind kindOf(const QString& delivery)
{
    if (delivery == QLatin1String("delay")) return ReplyScript::Delay;
    if (delivery == QLatin1String("split")) return ReplyScript::Split;
    if (delivery == QLatin1String("dribble")) return ReplyScript::Dribble;
    if (delivery == QLatin1String("truncate")) return ReplyScript::Truncate;
    if (delivery == QLatin1String("corrupt")) return ReplyScript::BadChecksum;
    if (delivery == QLatin1String("silent")) return ReplyScript::Silence;
    return ReplyScript::Close;
}
} // namespace

InjectionRuleParser::InjectionRuleParser(const QString& line)
{
    m_rule.line = line.trimmed();
    const int comment = line.indexOf(QLatin1Char('#'));
    m_tokens = (comment < 0 ? line : line.left(comment)).split(QRegularExpression(QStringLiteral("\\s+")));
    m_tokens.removeAll(QString());
    if (m_tokens.isEmpty())
        m_outcome = Outcome::Blank;
    else
        m_outcome = parse() ? Outcome::Rule : Outcome::Bad;
}

bool InjectionRuleParser::fail(const QString& why)
{
    m_error = why;
    return false;
}

bool InjectionRuleParser::takeNumber(const QString& what, int64_t low, int64_t high, int64_t* value)
{
    if (atEnd())
        return fail(QStringLiteral("%1 is missing").arg(what));
    const QString word = take();
    bool ok = false;
    const bool hex = word.startsWith(QLatin1String("0x"), Qt::CaseInsensitive);
    const qlonglong n = hex ? word.mid(2).toLongLong(&ok, 16) : word.toLongLong(&ok, 10);
    if (!ok || (hex && word.mid(2).startsWith(QLatin1Char('-'))))
        return fail(QStringLiteral("%1 '%2' is not a number").arg(what, word));
    if (n < low || n > high)
        return fail(QStringLiteral("%1 '%2' is out of range (%3 to %4)").arg(what, word).arg(low).arg(high));
    *value = n;
    return true;
}

bool InjectionRuleParser::takeHexBytes(const QString& what, QByteArray* bytes)
{
    static const QRegularExpression hexWord(QStringLiteral("^[0-9A-Fa-f]+$"));
    while (!atEnd() && hexWord.match(m_tokens.at(m_at)).hasMatch()) {
        const QString word = take();
        if (word.size() % 2 != 0)
            return fail(QStringLiteral("%1: '%2' is not whole bytes (two hex digits each)").arg(what, word));
        bytes->append(QByteArray::fromHex(word.toLatin1()));
    }
    if (bytes->isEmpty())
        return fail(QStringLiteral("%1 needs hex bytes, like 00 00 00 00 03 00 00 70 01").arg(what));
    if (bytes->size() > kFrameBufferSize)
        return fail(QStringLiteral("%1: %2 bytes, more than a frame holds (%3)").arg(what).arg(bytes->size())
                        .arg(kFrameBufferSize));
    return true;
}

bool InjectionRuleParser::expectEnd()
{
    if (!atEnd())
        return fail(QStringLiteral("unexpected '%1' at the end").arg(m_tokens.at(m_at)));
    return true;
}

bool InjectionRuleParser::parse()
{
    QString word = take();
    if (word.startsWith(QLatin1Char('@'))) {
        const QHostAddress address(word.mid(1));
        if (address.isNull())
            return fail(QStringLiteral("'%1' does not name a controller by its IP address").arg(word));
        m_rule.controller = address.toString();
        if (atEnd())
            return fail(QStringLiteral("nothing follows '%1'").arg(word));
        word = take();
    }
    if (kConditions.contains(word))
        return parseCondition(word);
    return parseRequest(word);
}

bool InjectionRuleParser::parseRequest(const QString& word)
{
    m_rule.kind = InjectionRule::Reply;
    if (word.size() == 1 && word.at(0).isLetter() && word.at(0).unicode() < 0x80) {
        m_rule.code = uint8_t(word.at(0).unicode());
    } else {
        bool ok = false;
        const bool hex = word.startsWith(QLatin1String("0x"), Qt::CaseInsensitive);
        const uint code = hex ? word.mid(2).toUInt(&ok, 16) : word.toUInt(&ok, 10);
        if (!ok)
            return fail(QStringLiteral("'%1' is neither a request (a command letter, or a code 1 to 255) nor a "
                                       "condition (%2)").arg(word, kConditions.join(QStringLiteral(", "))));
        if (code < 1 || code > 255)
            return fail(QStringLiteral("request code '%1' is out of range (1 to 255)").arg(word));
        m_rule.code = uint8_t(code);
    }
    if (!RequestKind::isSent(m_rule.code))
        return fail(QStringLiteral("the library sends no request %1, so the rule would never match")
                        .arg(requestName(m_rule.code)));
    static const QRegularExpression numberWord(QStringLiteral("^(0[xX][0-9A-Fa-f]+|-?[0-9]+)$"));
    if (!atEnd() && numberWord.match(m_tokens.at(m_at)).hasMatch()) {
        if (!hasSubCode(m_rule.code))
            return fail(QStringLiteral("request %1 has no sub-code, so '%2' cannot be one")
                            .arg(requestName(m_rule.code), m_tokens.at(m_at)));
        int64_t sub = 0;
        if (!takeNumber(QStringLiteral("sub-code"), 0, 255, &sub))
            return false;
        m_rule.sub = int(sub);
    }
    return parseReplyClauses();
}

bool InjectionRuleParser::parseReplyClauses()
{
    QStringList given;
    bool stateGiven = false, framed = false;
    QString delivery;
    QByteArray bytes;
    int64_t n = 0;
    ReplyScript& s = m_rule.script;
    s.times = -1;
    while (!atEnd()) {
        const QString word = take();
        if (given.contains(word))
            return fail(QStringLiteral("'%1' stands twice").arg(word));
        given << word;
        if (word == QLatin1String("channel")) {
            if (!RequestChannel::carried(m_rule.code, m_rule.sub))
                return fail(QStringLiteral("requests %1%2 carry no channel").arg(requestName(m_rule.code),
                    m_rule.sub >= 0 ? QStringLiteral(" %1").arg(m_rule.sub) : QString()));
            if (!takeNumber(QStringLiteral("channel"), 0, 255, &n))
                return false;
            if (n == 0 && channelStartsAtOne(m_rule.code))
                return fail(QStringLiteral("channel 0: requests %1 go to channels from 1 on, so the rule would never "
                                           "match").arg(requestName(m_rule.code)));
            s.channel = int(n);
        } else if (word == QLatin1String("state")) {
            if (!takeNumber(QStringLiteral("state"), -128, 255, &n))
                return false;
            s.status = int(int8_t(uint8_t(n))); // the status byte, read signed as the client does
            stateGiven = true;
        } else if (word == QLatin1String("raw") || word == QLatin1String("reply")) {
            if (!bytes.isEmpty())
                return fail(QStringLiteral("'raw' and 'reply' exclude each other"));
            framed = word == QLatin1String("reply");
            if (!takeHexBytes(word, &bytes))
                return false;
        } else if (kDeliveries.contains(word)) {
            if (!delivery.isEmpty())
                return fail(QStringLiteral("'%1' and '%2' exclude each other: one way of answering per rule")
                                .arg(delivery, word));
            delivery = word;
            if (word == QLatin1String("delay") || word == QLatin1String("split") || word == QLatin1String("dribble")) {
                if (!takeNumber(word + QStringLiteral(" time (ms)"), 0, kMostMs, &n))
                    return false;
                s.delayMs = int(n);
            }
        } else if (word == QLatin1String("times")) {
            if (given.contains(QStringLiteral("forever")))
                return fail(QStringLiteral("'times' and 'forever' exclude each other"));
            if (!takeNumber(QStringLiteral("times"), 1, kMostTimes, &n))
                return false;
            s.times = int(n);
        } else if (word == QLatin1String("forever")) {
            if (given.contains(QStringLiteral("times")))
                return fail(QStringLiteral("'times' and 'forever' exclude each other"));
        } else {
            return fail(QStringLiteral("unknown word '%1' (expected channel, state, raw, reply, %2, times or forever)")
                            .arg(word, kDeliveries.join(QStringLiteral(", "))));
        }
    }
    return finishReply(stateGiven, delivery, bytes, framed);
}

bool InjectionRuleParser::finishReply(bool stateGiven, const QString& delivery, const QByteArray& bytes, bool framed)
{
    ReplyScript& s = m_rule.script;
    if (stateGiven && !bytes.isEmpty())
        return fail(QStringLiteral("'state' and '%1' exclude each other: the bytes carry their own state")
                        .arg(framed ? QStringLiteral("reply") : QStringLiteral("raw")));
    if (!stateGiven && bytes.isEmpty() && delivery.isEmpty())
        return fail(QStringLiteral("the rule says nothing to do: give state, raw, reply, %1")
                        .arg(kDeliveries.join(QStringLiteral(", "))));
    if ((delivery == QLatin1String("silent") || delivery == QLatin1String("close")) && (stateGiven || !bytes.isEmpty()))
        return fail(QStringLiteral("'%1' sends no reply, so it takes no state, raw or reply").arg(delivery));
    if (!stateGiven)
        s.status = ControllerModel::kDefaultStatus; // the request's normal state
    if (framed) {
        uint8_t frame[kFrameBufferSize];
        FrameWriter w(frame, sizeof frame, FrameTcp);
        w.code(uint8_t(bytes.at(0))).bytes(reinterpret_cast<const uint8_t*>(bytes.constData()) + 1, bytes.size() - 1);
        const int length = w.finishReply();
        if (length <= 0)
            return fail(QStringLiteral("reply: %1 bytes do not fit in a frame").arg(bytes.size()));
        s.raw = QByteArray(reinterpret_cast<const char*>(frame), length);
    } else {
        s.raw = bytes;
    }
    if (!delivery.isEmpty())
        s.kind = kindOf(delivery);
    else
        s.kind = s.raw.isEmpty() ? ReplyScript::Status : ReplyScript::Raw;
    return true;
}

bool InjectionRuleParser::parseCondition(const QString& word)
{
    int64_t a = 0, b = 0, c = 0;
    std::array<int32_t, 3>& v = m_rule.numbers;
    if (word == QLatin1String("busy")) {
        m_rule.kind = InjectionRule::BusyPhases;
        if (!takeNumber(QStringLiteral("busy: every n-th block"), 1, kMostTimes, &a) ||
            !takeNumber(QStringLiteral("busy: time (ms)"), 0, kMostMs, &b))
            return false;
        v = {int32_t(a), int32_t(b), 0};
    } else if (word == QLatin1String("dnc-capacity")) {
        m_rule.kind = InjectionRule::DncCapacity;
        if (!takeNumber(QStringLiteral("dnc-capacity: bytes"), 0, kInt32Max, &a))
            return false;
        if (!atEnd() && m_tokens.at(m_at) == QLatin1String("drain")) {
            take();
            if (!takeNumber(QStringLiteral("dnc-capacity: drain (ms)"), 1, kMostMs, &b))
                return false;
        }
        v = {int32_t(a), int32_t(b), 0};
    } else if (word == QLatin1String("running")) {
        m_rule.kind = InjectionRule::RunningProgram;
        if (!takeNumber(QStringLiteral("running: channel"), kFirstChannel, kLastChannel, &a))
            return false;
        v[0] = int32_t(a);
        if (atEnd())
            return fail(QStringLiteral("running: the program name is missing"));
        const QString name = take();
        static const QRegularExpression printable(QStringLiteral("^[\\x21-\\x7e]+$"));
        if (!printable.match(name).hasMatch() || name.size() > kNameBytes)
            return fail(QStringLiteral("running: '%1' is not a program name (up to %2 printable ASCII characters)")
                            .arg(name).arg(kNameBytes));
        m_rule.name = name.toLatin1();
    } else if (word == QLatin1String("emergency-stop")) {
        m_rule.kind = InjectionRule::EmergencyStop;
        if (!takeNumber(QStringLiteral("emergency-stop: channel"), kFirstChannel, kLastChannel, &a))
            return false;
        v[0] = int32_t(a);
    } else if (word == QLatin1String("error") || word == QLatin1String("error-history")) {
        m_rule.kind = InjectionRule::ErrorEntry;
        if (!takeNumber(word + QStringLiteral(": channel"), 0, kLastErrorFileChannel, &a))
            return false;
        v = {int32_t(a), word == QLatin1String("error") ? 0 : 1, 0};
        QStringList words;
        while (!atEnd())
            words << take();
        if (words.isEmpty())
            return fail(QStringLiteral("%1: the entry's text is missing").arg(word));
        m_rule.name = words.join(QLatin1Char(' ')).toUtf8();
    } else if (word == QLatin1String("alarm")) {
        m_rule.kind = InjectionRule::Alarm;
        if (!takeNumber(QStringLiteral("alarm: first value"), kInt32Min, kInt32Max, &a) ||
            !takeNumber(QStringLiteral("alarm: second value"), kInt32Min, kInt32Max, &b) ||
            !takeNumber(QStringLiteral("alarm: third value"), kInt32Min, kInt32Max, &c))
            return false;
        v = {int32_t(a), int32_t(b), int32_t(c)};
    } else {
        m_rule.kind = InjectionRule::Variable;
        if (!takeNumber(QStringLiteral("variable: address"), 0, kInt32Max, &a))
            return false;
        if (!VProtocol_Client::isValidVarAddress(int32_t(a)))
            return fail(QStringLiteral("variable: %1 is not a variable address (area 0 to 16 times 1000000, plus an "
                                       "index 0 to 169999)").arg(a));
        if (!takeNumber(QStringLiteral("variable: value"), kInt32Min, kInt32Max, &b))
            return false;
        v = {int32_t(a), int32_t(b), 0};
    }
    return expectEnd();
}

QString InjectionRuleParser::syntax()
{
    return QStringLiteral(R"(Failure injection: --inject RULE (repeatable) and --script FILE (one rule per line,
'#' starts a comment). Script files are read first, then the --inject rules, in order.

  [@ADDR] REQUEST [SUB] [channel CH] ACTION... [times N | forever]
    REQUEST      a command letter (p, r, t, f, ...) or a code (131, 0x83); SUB a sub-code
                 (1, 0x0a); without SUB every sub-code matches. channel CH: only the requests
                 for channel CH.
    ACTION       state S      answer with reply state S (-128 to 255) instead of the normal one
                 raw HEX..    answer with these bytes, the whole frame as it goes on the wire
                 reply HEX..  answer with this reply (its code first), framed by the simulator
                 delay MS     answer MS ms late             split MS    two halves, MS ms apart
                 dribble MS   one byte every MS ms          truncate    the first half only
                 corrupt      a length field that lies      silent      never answer
                 close        close the connection instead of answering
                 state, raw and reply combine with delay, split, dribble, truncate and corrupt.
    times N      the next N matching requests only; the default is forever.
    When several rules match a request, one that names the sub-code wins over one that does
    not, and among those the one given last.

  [@ADDR] CONDITION
    busy N MS            every N-th program block is stored busy (state 2), and the transfer
                         state stays busy for MS ms after it
    dnc-capacity BYTES [drain MS]
                         a program file holds at most BYTES; a block beyond is refused (state 3).
                         With drain, BYTES is the DNC memory of a running machine: it holds the
                         blocks not yet run, and the machine runs (frees) the oldest every MS ms
    running CH NAME      channel CH runs program NAME: a program start on CH, or a transfer of
                         NAME, is refused (state 2), and the running-program query names it
    emergency-stop CH    the emergency stop of channel CH is pressed: motion and program starts
                         (also by name) are refused (state 2) and the alarm read gives 1 CH
                         1001, until the application releases it (emStopSet with 0) and
                         resets the channel
    alarm A B C          the alarm read gives A B C
    error CH TEXT        one more entry TEXT in channel CH's (0 to 8) current error file
    error-history CH TEXT  the same in its history error file
    variable ADDR VALUE  controller variable ADDR holds VALUE

  @ADDR: the rule is for the controller on ADDR only; without it, for every controller.

Requests (a rule for a code the library never sends is refused): p watchdog; A B D variables
(read, read list, write); r jog (1 run, 2 stop, 7 position run); q homing; t program control
(1 cycle start, 2 stop, 8 emergency stop, 9 reset, 10 alarm read); f 3 reset, f 4 start by
name; d program text transfer (1 declare, 2 append, 3 overwrite, 4 end, 5 transfer state,
6 file query); g running program; u bits (1 read, 2 write); v axes; w handwheel; x y 0x80 bit
groups; c error file (1 open, 2 read, 3 close); e controller file read; i oscilloscope; 0x81
static address; 0x82 fieldbus; 0x83 binary file; 0x84 file information; 0x85 error text.
A failing reply state s makes most calls return 100 + s (the watchdog and the file replies
succeed with state 1 and fail with 0); a reply that never comes, or comes later than 1.8 s,
makes the call return 111. Replies of variables (B, D) carry no state: any state but 0 makes
them error replies (111).

Examples:
  --inject "r channel 1 state 3"       every jog request on channel 1 fails: 103
  --inject "p silent"                  the watchdog never answers: 111
  --inject "f 3 state 2 times 1"       the next reset fails with 102, and the error callback
                                       receives 7, 2, "program is runing."
  --inject "B close times 1"           the next variable read loses its connection
  --inject "@127.0.0.6 dnc-capacity 800"
)");
}
