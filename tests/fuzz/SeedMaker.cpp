// Writes the seed corpus of every harness from the golden frames: the requests the codec builds
// (the frames the codec tests fix byte for byte) and the simulated controller's replies to them,
// in all three framings. Run it again when the codec learns a new request:
//   fuzz_seed_maker tests/fuzz/corpus
#include "ControllerModel.h"
#include "FrameMode.h"
#include "FramingConverter.h"
#include "VProtocol_Client.h"
#include "WireCodeTable.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QList>

#include <cstdio>
#include <functional>
#include <vector>

namespace {
using Builder = std::function<int32_t(VProtocol_Client&)>;

QByteArray build(const Builder& builder, int mode)
{
    uint8_t buf[kFrameBufferSize] = {};
    VProtocol_Client codec(buf, mode);
    const int n = builder(codec);
    return QByteArray(reinterpret_cast<const char*>(buf), n > 0 ? n : 0);
}

QByteArray inMode(const QByteArray& tcpFrame, int mode, bool asReply)
{
    return mode == FrameTcp ? tcpFrame : FramingConverter::convert(tcpFrame, FrameTcp, mode, asReply);
}

bool write(const QString& folder, const QByteArray& input)
{
    QFile file(folder + "/" + QCryptographicHash::hash(input, QCryptographicHash::Sha1).toHex());
    return QDir().mkpath(folder) && file.open(QIODevice::WriteOnly) && file.write(input) == input.size();
}

QByteArray byte(int b) { return QByteArray(1, char(b)); }

// Replies to the buffer's requests: declaration, blocks stored, busy then ready, refusals, end.
QList<QByteArray> bufferReplySequences(ControllerModel& model)
{
    const auto reply = [&](const Builder& b, int status) {
        const QByteArray r = model.reply(build(b, FrameTcp), status);
        return byte(r.size()) + r;
    };
    const Builder declare = [](VProtocol_Client& c) { return c.CmdSetTransFileType(1, 1, "DNC", false); };
    const Builder append = [](VProtocol_Client& c) { return c.CmdAppend("G01 X1\n"); };
    const QByteArray ready = model.reply(QByteArray::fromHex("000000000300006405")); // transfer state
    const QByteArray transferReady = byte(ready.size()) + ready;
    const int def = ControllerModel::kDefaultStatus;
    return {
        reply(declare, 0) + reply(append, 0) + reply(append, 0) + reply(append, 0) + reply(append, 0),
        reply(declare, 0) + reply(append, 2) + transferReady + reply(append, 0),
        reply(declare, 2) + reply(declare, 0) + reply(append, 3) + reply(append, 0),
        reply(declare, 0) + reply(append, 100) + reply(append, 1) + reply(append, def),
        reply(declare, 1) + reply(declare, def) + byte(0),
    };
}

const char* const kFtpStreams[] = {
    "220-Welcome\r\n220 ready\r\n331 Username ok, send password.\r\n230 Login successful.\r\n",
    "200 Type set to: Binary.\r\n200 Active data connection established.\r\n150 File status okay.\r\n226 Transfer complete.\r\n",
    "257 \"/prg\" directory created.\r\n550 Not enough privileges.\r\n",
    "421 Too many connections.\r\n",
    "530 Authentication failed.\r\n221 Goodbye.\r\n",
    "211-Features supported:\r\n MDTM\r\n SIZE\r\n211 End FEAT.\r\n",
    "425 Can't open data connection.\r\n500 Command not understood.\r\n",
};
} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s CORPUS_FOLDER\n", argv[0]);
        return 2;
    }
    const QString root = QString::fromLocal8Bit(argv[1]);
    const char* const replyFolders[] = {"reply_tcp", "reply_station", "reply_colon"};
    const int statuses[] = {ControllerModel::kDefaultStatus, 0, 1, 2, 3, 100};
    bool ok = true;
    ControllerModel model;
    QByteArray previous[3];
    for (const WireRow& row : wireRows()) { // one of each kind of request
        const Builder& builder = row.build;
        for (int mode = FrameTcp; mode <= FrameSerialColon; ++mode) {
            const QByteArray request = build(builder, mode);
            ok = ok && write(root + "/frame_boundary", byte(3 + mode) + request);
            ok = ok && write(root + "/simulator_request", byte(mode) + byte(0) + request);
            ok = ok && write(root + "/simulator_request", byte(mode) + byte(0) + previous[mode] + request);
            previous[mode] = request;
        }
        for (int status : statuses) {
            const QByteArray tcpReply = model.reply(build(builder, FrameTcp), status);
            if (tcpReply.isEmpty())
                continue;
            for (int mode = FrameTcp; mode <= FrameSerialColon; ++mode) {
                const QByteArray reply = inMode(tcpReply, mode, true);
                ok = ok && write(root + "/" + replyFolders[mode], reply);
                ok = ok && write(root + "/frame_boundary", byte(mode) + reply);
            }
        }
    }
    for (const QByteArray& sequence : bufferReplySequences(model))
        ok = ok && write(root + "/buffer_reply", sequence);
    for (const char* stream : kFtpStreams) {
        ok = ok && write(root + "/ftp_reply", byte(0) + stream);
        ok = ok && write(root + "/ftp_reply", byte(2) + stream);
    }
    if (!ok)
        std::fprintf(stderr, "fuzz_seed_maker: cannot write under %s\n", argv[1]);
    return ok ? 0 : 1;
}
