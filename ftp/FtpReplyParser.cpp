#include "FtpReplyParser.h"

void FtpReplyParser::feed(const QByteArray& bytes)
{
    if (!m_malformed)
        m_pending.append(bytes);
}

void FtpReplyParser::reset()
{
    m_pending.clear();
    m_openCode = 0;
    m_openText.clear();
    m_malformed = false;
}

int FtpReplyParser::codeOf(const QByteArray& line)
{
    if (line.size() < 3)
        return 0;
    for (int i = 0; i < 3; ++i)
        if (line[i] < '0' || line[i] > '9')
            return 0;
    if (line[0] < '1' || line[0] > '5')
        return 0;
    if (line.size() > 3 && line[3] != ' ' && line[3] != '-')
        return 0;
    return (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
}

FtpReplyParser::Status FtpReplyParser::takeLine(QByteArray* line)
{
    const int end = m_pending.indexOf('\n');
    if (end < 0)
        return m_pending.size() > kMaxReplyBytes ? Malformed : NeedMore;
    if (end > kMaxReplyBytes)
        return Malformed; // the same line, had it come in pieces
    *line = m_pending.left(end > 0 && m_pending[end - 1] == '\r' ? end - 1 : end);
    m_pending.remove(0, end + 1);
    return ReplyReady;
}

FtpReplyParser::Status FtpReplyParser::next(FtpReply* reply)
{
    while (!m_malformed) {
        QByteArray line;
        const Status got = takeLine(&line);
        if (got == NeedMore)
            return NeedMore;
        if (got == Malformed)
            break;
        const int code = codeOf(line);
        if (m_openCode == 0) {
            if (code == 0)
                break; // a reply must open with its code
            if (line.size() > 3 && line[3] == '-') {
                m_openCode = code;
                m_openText = line.mid(4);
                continue;
            }
            reply->code = code;
            reply->text = line.mid(4);
            return ReplyReady;
        }
        if (m_openText.size() + line.size() >= kMaxReplyBytes)
            break;
        // Inside a multi-line reply only "xyz " (or a bare "xyz") with the opening code ends it;
        // other lines, even ones that start with digits, are text.
        if (code == m_openCode && (line.size() == 3 || line[3] == ' ')) {
            reply->code = m_openCode;
            reply->text = m_openText + '\n' + line.mid(4);
            m_openCode = 0;
            m_openText.clear();
            return ReplyReady;
        }
        m_openText += '\n' + line;
    }
    m_malformed = true;
    m_pending.clear();
    m_openText.clear();
    return Malformed;
}
