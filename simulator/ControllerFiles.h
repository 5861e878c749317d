#pragma once
#include <QByteArray>
#include <QList>
#include <QMap>

#include <cstdint>
#include <mutex>

class FrameReader;
class FrameWriter;

// The simulated controller's files as the command protocol reaches them: binary files written
// in pieces and read back, the error files of channels 0..8 with the variable handshake that
// prepares them, file information by path, the current error texts, and the oscilloscope's
// samples. Tests set the contents and read back what was written. Any thread may call.
class ControllerFiles
{
public:
    static constexpr int32_t kErrorFileChannelVar = 120139;
    static constexpr int32_t kErrorFileRequestVar = 120138;
    static constexpr int kPieceBytes = 100; // error files, error texts and binary reads

    // The command codes reply() answers.
    static bool serves(uint8_t code);
    // Writes the reply to one request (TCP framing). state: the reply state the model chose,
    // the request's success state unless a test scripted another; only success changes files.
    void reply(const FrameReader& request, uint8_t code, int sub, int state, FrameWriter& w);
    // After a variable write: a request (1 current, 2 history) in 120138 prepares the error file
    // of the channel in 120139 and reads back 0, unless requests are held.
    void variablesWritten(QMap<int32_t, int32_t>& vars);

    // ---- test side ----
    void setErrorFile(int channel, bool history, const QByteArray& bytes);
    void removeErrorFile(int channel, bool history);
    // One more line at the end of an error file (a newline is added).
    void addErrorEntry(int channel, bool history, const QByteArray& line);
    void holdErrorFileRequests(bool hold); // 120138 keeps its value: the file never gets ready
    // Binary files the client closed, by name; an unclosed file is not there.
    QByteArray binaryFile(const QByteArray& name) const;
    int32_t binaryFileType(const QByteArray& name) const;
    QList<QByteArray> binaryFileNames() const;
    void setFileInfo(const QByteArray& path, const QByteArray& latin1Text);
    // The error text of a channel; its head announces declaredLength (the text's own length
    // when negative). Pieces after the text's end are empty.
    void setErrorText(int channel, const QByteArray& text, int declaredLength = -1);
    // Samples the point requests return, from index `first` on; none set: first, first + 1, ...
    void setOscPoints(const QList<int32_t>& points);
    bool oscEnabled() const;
    QList<int32_t> oscSelection() const; // channel, axis, type of the last selection

private:
    struct BinaryFile { int32_t type = 0; QByteArray bytes; };
    struct ErrorText { QByteArray text; int declared = 0; };
    struct Cursor { QByteArray bytes; int at = 0; bool open = false; };

    static QByteArray errorFilePath(int channel, bool history);
    static QByteArray nextPiece(Cursor& c);
    void binaryWrite(const FrameReader& r, int sub, int state, FrameWriter& w);
    void errorFile(const FrameReader& r, int sub, int state, FrameWriter& w);
    void binaryRead(const FrameReader& r, int sub, FrameWriter& w);
    void errorString(const FrameReader& r, int sub, int state, FrameWriter& w);
    void oscilloscope(const FrameReader& r, int sub, int state, FrameWriter& w);

    mutable std::mutex m_lock;
    QMap<QByteArray, BinaryFile> m_binary;   // closed files
    BinaryFile m_writing;                    // the file between open and close
    QByteArray m_writingName;
    bool m_writingOpen = false;
    QMap<QByteArray, QByteArray> m_errorContents; // by path: what a request would prepare
    QMap<QByteArray, QByteArray> m_prepared;      // by path: ready to be opened
    bool m_holdRequests = false;
    Cursor m_errorRead;
    Cursor m_binaryRead;
    QByteArray m_lastBinaryPiece;
    QMap<QByteArray, QByteArray> m_info;
    QMap<int, ErrorText> m_errorTexts;
    Cursor m_errorTextRead;
    QList<int32_t> m_points;
    bool m_oscEnabled = false;
    QList<int32_t> m_oscSelection;
};
