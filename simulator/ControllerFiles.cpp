#include "ControllerFiles.h"

#include "FrameReader.h"
#include "FrameWriter.h"

#include <algorithm>

namespace {
// Request fields start after the TCP header, the code and the sub-code.
constexpr int kFields = 9;
constexpr int kSuccess = 1;       // state of a good file, read or sampling reply
constexpr int kTextSuccess = 0;   // state of a good error-text head
constexpr int kLastErrorTextPiece = 3;
constexpr int kLastBinaryPiece = 4;
constexpr int32_t kMostPointsPerReply = 120; // what a 500-byte frame holds

const uint8_t* asBytes(const QByteArray& b)
{
    return reinterpret_cast<const uint8_t*>(b.constData());
}
}

bool ControllerFiles::serves(uint8_t code)
{
    return code == 'c' || code == 'e' || code == 'i' || code == 0x83 || code == 0x84 || code == 0x85;
}

QByteArray ControllerFiles::errorFilePath(int channel, bool history)
{
    return "sys000" + QByteArray::number(channel) + (history ? "/error/hisError.error" : "/error/curError.error");
}

QByteArray ControllerFiles::nextPiece(Cursor& c)
{
    const QByteArray piece = c.bytes.mid(c.at, kPieceBytes);
    c.at += piece.size();
    return piece;
}

void ControllerFiles::reply(const FrameReader& r, uint8_t code, int sub, int state, FrameWriter& w)
{
    std::lock_guard<std::mutex> g(m_lock);
    switch (code) {
    case 0x83: binaryWrite(r, sub, state, w); break;
    case 'c': errorFile(r, sub, state, w); break;
    case 'e': binaryRead(r, sub, w); break;
    case 0x85: errorString(r, sub, state, w); break;
    case 'i': oscilloscope(r, sub, state, w); break;
    case 0x84: {
        const auto it = m_info.constFind(r.tail(8));
        const bool known = state == kSuccess && it != m_info.constEnd();
        w.code(0x84).byte(known ? kSuccess : state == kSuccess ? 0 : state);
        if (known)
            w.bytes(asBytes(*it), it->size());
        w.byte(0);
        break;
    }
    default:
        break;
    }
}

// Open (type, name), write (count, bytes), close; a write whose count is not its byte count, or
// any step without an open file, is refused with state 0.
void ControllerFiles::binaryWrite(const FrameReader& r, int sub, int state, FrameWriter& w)
{
    int reply = state;
    if (state == kSuccess) {
        if (sub == 1) {
            m_writing = BinaryFile{r.int32At(kFields), QByteArray()};
            m_writingName = r.tail(kFields + 4);
            m_writingOpen = true;
        } else if (sub == 2) {
            const QByteArray data = r.tail(kFields + 4);
            if (m_writingOpen && r.has(kFields, 4) && r.int32At(kFields) == data.size())
                m_writing.bytes += data;
            else
                reply = 0;
        } else if (sub == 3) {
            if (m_writingOpen)
                m_binary[m_writingName] = m_writing;
            else
                reply = 0;
            m_writingOpen = false;
        }
    }
    w.code(0x83).byte(sub).byte(reply);
}

// Open a prepared error file by path, read it in pieces of 100 bytes (a count byte, then the
// bytes), close it.
void ControllerFiles::errorFile(const FrameReader& r, int sub, int state, FrameWriter& w)
{
    w.code('c').byte(sub);
    if (sub == 2) {
        const QByteArray piece = m_errorRead.open ? nextPiece(m_errorRead) : QByteArray();
        w.byte(piece.size()).bytes(asBytes(piece), piece.size());
        return;
    }
    int reply = state;
    if (state == kSuccess && sub == 1) {
        const auto it = m_prepared.constFind(r.tail(kFields));
        m_errorRead = Cursor{it != m_prepared.constEnd() ? *it : QByteArray(), 0, it != m_prepared.constEnd()};
        reply = m_errorRead.open ? kSuccess : 0;
    } else if (state == kSuccess && sub == 3) {
        reply = m_errorRead.open ? kSuccess : 0;
        m_errorRead.open = false;
    }
    w.byte(reply);
}

// Reads back a closed binary file: open (two bytes, name) answers its state, each read the next
// piece (sub-code 4 for the last one), a re-read the previous piece again.
void ControllerFiles::binaryRead(const FrameReader& r, int sub, FrameWriter& w)
{
    if (sub == 1) {
        const auto it = m_binary.constFind(r.tail(kFields + 2));
        m_binaryRead = Cursor{it != m_binary.constEnd() ? it->bytes : QByteArray(), 0, it != m_binary.constEnd()};
        w.code('e').byte(1).byte(m_binaryRead.open ? kSuccess : 0);
        return;
    }
    if (sub == 2 && m_binaryRead.open)
        m_lastBinaryPiece = nextPiece(m_binaryRead);
    else if (sub == 2)
        m_lastBinaryPiece.clear();
    const bool last = m_binaryRead.at >= m_binaryRead.bytes.size();
    w.code('e').byte(sub == 2 && last ? kLastBinaryPiece : sub).bytes(asBytes(m_lastBinaryPiece), m_lastBinaryPiece.size());
}

// Head (channel, value): the announced length in decimal; then pieces of the text, the last one
// (and any asked for after the text's end) with sub-code 3.
void ControllerFiles::errorString(const FrameReader& r, int sub, int state, FrameWriter& w)
{
    if (sub == 1) {
        w.code(0x85).byte(1).byte(state);
        if (state != kTextSuccess)
            return;
        const ErrorText text = m_errorTexts.value(r.byteAt(kFields));
        m_errorTextRead = Cursor{text.text, 0, true};
        const QByteArray length = QByteArray::number(text.declared);
        w.bytes(asBytes(length), length.size());
        return;
    }
    if (sub != 2) { // a sub-code this controller does not know: an empty answer of its kind
        w.code(0x85).byte(sub);
        return;
    }
    const QByteArray piece = m_errorTextRead.open ? nextPiece(m_errorTextRead) : QByteArray();
    const bool last = m_errorTextRead.at >= m_errorTextRead.bytes.size();
    w.code(0x85).byte(last ? kLastErrorTextPiece : 2).bytes(asBytes(piece), piece.size());
}

// Selection (channel, axis, type), transfer on/off, and points (first, count) while it is on.
void ControllerFiles::oscilloscope(const FrameReader& r, int sub, int state, FrameWriter& w)
{
    w.code('i').byte(sub);
    if (sub == 1 && state == kSuccess)
        m_oscSelection = {r.int32At(kFields), r.int32At(kFields + 4), r.int32At(kFields + 8)};
    if (sub == 2 && state == kSuccess)
        m_oscEnabled = r.int32At(kFields) != 0;
    if (sub != 3) {
        w.byte(state);
        return;
    }
    const bool sampling = state == kSuccess && m_oscEnabled;
    w.byte(sampling ? kSuccess : state == kSuccess ? 0 : state);
    const int32_t first = r.int32At(kFields), count = r.int32At(kFields + 4);
    QList<int32_t> points;
    for (int32_t i = 0; sampling && i < std::min(count, kMostPointsPerReply); ++i) {
        const int64_t at = int64_t(first) + i; // any first index may come from the wire
        if (m_points.isEmpty())
            points.append(int32_t(uint32_t(at))); // counting points wrap like the controller's counter
        else if (at >= 0 && at < m_points.size())
            points.append(m_points[int(at)]);
    }
    w.byte(points.size());
    for (int32_t p : points)
        w.int32(p);
}

void ControllerFiles::variablesWritten(QMap<int32_t, int32_t>& vars)
{
    std::lock_guard<std::mutex> g(m_lock);
    const int32_t request = vars.value(kErrorFileRequestVar, 0);
    if ((request != 1 && request != 2) || m_holdRequests)
        return;
    const int32_t channel = vars.value(kErrorFileChannelVar, 0);
    if (channel >= 0 && channel <= 8) {
        const QByteArray path = errorFilePath(channel, request == 2);
        if (m_errorContents.contains(path))
            m_prepared[path] = m_errorContents.value(path);
        else
            m_prepared.remove(path);
    }
    vars[kErrorFileRequestVar] = 0;
}

void ControllerFiles::setErrorFile(int channel, bool history, const QByteArray& bytes)
{
    std::lock_guard<std::mutex> g(m_lock);
    m_errorContents[errorFilePath(channel, history)] = bytes;
}

void ControllerFiles::addErrorEntry(int channel, bool history, const QByteArray& line)
{
    std::lock_guard<std::mutex> g(m_lock);
    m_errorContents[errorFilePath(channel, history)] += line + '\n';
}

void ControllerFiles::removeErrorFile(int channel, bool history)
{
    std::lock_guard<std::mutex> g(m_lock);
    m_errorContents.remove(errorFilePath(channel, history));
}

void ControllerFiles::holdErrorFileRequests(bool hold)
{
    std::lock_guard<std::mutex> g(m_lock);
    m_holdRequests = hold;
}

QByteArray ControllerFiles::binaryFile(const QByteArray& name) const
{
    std::lock_guard<std::mutex> g(m_lock);
    return m_binary.value(name).bytes;
}

int32_t ControllerFiles::binaryFileType(const QByteArray& name) const
{
    std::lock_guard<std::mutex> g(m_lock);
    return m_binary.value(name).type;
}

QList<QByteArray> ControllerFiles::binaryFileNames() const
{
    std::lock_guard<std::mutex> g(m_lock);
    return m_binary.keys();
}

void ControllerFiles::setFileInfo(const QByteArray& path, const QByteArray& latin1Text)
{
    std::lock_guard<std::mutex> g(m_lock);
    m_info[path] = latin1Text;
}

void ControllerFiles::setErrorText(int channel, const QByteArray& text, int declaredLength)
{
    std::lock_guard<std::mutex> g(m_lock);
    m_errorTexts[channel] = ErrorText{text, declaredLength < 0 ? int(text.size()) : declaredLength};
}

void ControllerFiles::setOscPoints(const QList<int32_t>& points)
{
    std::lock_guard<std::mutex> g(m_lock);
    m_points = points;
}

bool ControllerFiles::oscEnabled() const
{
    std::lock_guard<std::mutex> g(m_lock);
    return m_oscEnabled;
}

QList<int32_t> ControllerFiles::oscSelection() const
{
    std::lock_guard<std::mutex> g(m_lock);
    return m_oscSelection;
}
