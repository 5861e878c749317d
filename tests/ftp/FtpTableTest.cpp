// FTP: the reply parser, the client against servers that go silent or hang up, and rows against a
// real server through the exported calls and through the file operator's own lists.
#include "AsyncCommModule.h"
#include "FtpClient.h"
#include "FtpOperatorSet.h"
#include "FtpReplyParser.h"
#include "FtpServerProcess.h"
#include "TestSupport.h"
#include "VTeleFileOpreator.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <functional>
#include <random>
#include <thread>
#include <utility>
#include <vector>

namespace {
// Runs this thread's Qt event loop, as an application would, until cond holds or timeoutMs has passed.
bool runLoopUntil(const std::function<bool()>& cond, int timeoutMs)
{
    if (cond())
        return true;
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (cond())
            loop.quit();
    });
    check.start(1); // about what an application polling in between sees
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    return cond();
}

// Bytes that differ at every position of a large file, so a lost or repeated block shows.
QByteArray patternBytes(int size, quint32 seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    std::minstd_rand next(seed);
    std::generate(bytes.begin(), bytes.end(), [&] { return char(next() >> 7); });
    return bytes;
}

QByteArray readWholeFile(const QString& path) { QFile f(path); return f.open(QIODevice::ReadOnly) ? f.readAll() : "<missing>"; }

// A real FTP server and a simulated controller on one loopback address that this test
// process has to itself, and a folder for local files.
struct FtpTest : ::testing::Test
{
    void startHost(const FtpServerProcess::Options& options = FtpServerProcess::Options())
    {
        ASSERT_TRUE(local.isValid());
        // The controller's services answer on the FTP server's address; another test process may
        // hold the command port there, so move on to the next address until both fit.
        for (int first = 100; first < 250;) {
            ASSERT_TRUE(server.start(options, first)) << "pyftpdlib did not start (" ACM_FTP_PYTHON ")";
            if (sim.start(server.address()))
                return;
            first = server.hostNumber() + 1;
        }
        FAIL() << "no loopback address with port 21 and 60000 free";
    }
    QString localFile(const QString& name, const QByteArray& content)
    {
        QFile f(localPath(name));
        if (!f.open(QIODevice::WriteOnly) || f.write(content) != content.size())
            ADD_FAILURE() << "cannot write " << qPrintable(f.fileName());
        return f.fileName();
    }
    QString localPath(const QString& name) const { return local.path() + QLatin1Char('/') + name; }

    FtpServerProcess server;
    SimulatedController sim;
    QTemporaryDir local;
};

// Feeds the stream in pieces of `step` bytes; every reply as "code[text]", then "!" if malformed.
QByteArray parse(FtpReplyParser& parser, const QByteArray& stream, int step = 1 << 20)
{
    QByteArray out;
    for (int at = 0; at < stream.size(); at += step) {
        parser.feed(stream.mid(at, step));
        FtpReply reply;
        FtpReplyParser::Status status;
        while ((status = parser.next(&reply)) == FtpReplyParser::ReplyReady)
            out += reply.codeAndText().left(3) + '[' + reply.text + ']';
        if (status == FtpReplyParser::Malformed)
            return out + '!';
    }
    return out;
}

TEST(FtpReplyParser, RepliesInAnyPieces)
{
    const QByteArray stream = "220 Ready\r\n230-Welcome\r\n 230 indented text is text\r\n230-still text\r\n"
                              "231 another code is text too\r\n\r\n230 Logged in\r\n150 Opening (12 bytes)\n226\r\n";
    for (int step : {1, 2, 3, 7, 1000}) {
        FtpReplyParser parser;
        EXPECT_EQ(parse(parser, stream, step), "220[Ready]230[Welcome\n 230 indented text is text\n230-still text\n"
                                               "231 another code is text too\n\nLogged in]150[Opening (12 bytes)]226[]")
            << step;
    }
    FtpReply bare;
    bare.code = 226;
    EXPECT_EQ(bare.codeAndText(), "226 ");
}

TEST(FtpReplyParser, GarbageIsMalformedUntilReset)
{
    for (const char* bad : {"hello\r\n", "22 short\r\n", "220x\r\n", "620 no such class\r\n", "099 no such class\r\n", "\r\n",
                            "220-start\r\n"}) {
        FtpReplyParser parser;
        const QByteArray tooLong = QByteArray(bad).startsWith("220-") ? QByteArray(1000, 'b') + "\r\n" : QByteArray();
        QByteArray seen;
        for (int i = 0; i < 100 && !seen.endsWith('!'); ++i) // a multi-line reply without end is cut off
            seen = parse(parser, i ? tooLong : QByteArray(bad));
        EXPECT_EQ(seen, "!") << bad;
        EXPECT_EQ(parse(parser, "220 fine\r\n"), "!") << bad;
        parser.reset();
        EXPECT_EQ(parse(parser, "220 fine\r\n"), "220[fine]") << bad;
    }
    FtpReplyParser atLimit, whole;
    EXPECT_EQ(parse(atLimit, "220 " + QByteArray(FtpReplyParser::kMaxReplyBytes - 4, 'a')), ""); // still a line
    EXPECT_EQ(parse(atLimit, "a"), "!");
    EXPECT_EQ(parse(whole, "220 " + QByteArray(FtpReplyParser::kMaxReplyBytes, 'a') + "\r\n"), "!");
}

// A server that accepts, greets (or not) and hangs up at the first line it receives.
struct FakeServer : QObject
{
    explicit FakeServer(const QByteArray& greeting)
    {
        server.listen(QHostAddress(QStringLiteral("127.0.0.1")), 0);
        QObject::connect(&server, &QTcpServer::newConnection, this, [this, greeting] {
            while (QTcpSocket* s = server.nextPendingConnection()) {
                s->write(greeting);
                QObject::connect(s, &QTcpSocket::readyRead, this, [s] { s->abort(); });
            }
        });
    }
    QTcpServer server;
};

// Every finished command as (id, error) and the client's error text then; whether done came.
struct Finished
{
    explicit Finished(FtpClient& ftp)
    {
        QObject::connect(&ftp, &FtpClient::commandFinished, &ftp, [&ftp, this](int id, bool error) {
            ids << std::make_pair(id, error);
            errors << ftp.errorString();
        });
        QObject::connect(&ftp, &FtpClient::done, &ftp, [this](bool error) { done << error; });
    }
    QList<std::pair<int, bool>> ids;
    QStringList errors;
    QList<bool> done;
};

TEST(FtpClientLimits, ASilentServerEndsTheConnectionStepAndWhatWasQueuedIsDropped)
{
    FakeServer silent{QByteArray()};
    FtpClient ftp;
    ftp.setStepTimeout(200);
    Finished fin(ftp);
    QElapsedTimer clock;
    clock.start();
    const int connectId = ftp.connectToHost(QStringLiteral("127.0.0.1"), silent.server.serverPort());
    ftp.login(QStringLiteral("root"), QStringLiteral("470913"));
    ASSERT_TRUE(runLoopUntil([&] { return !fin.done.isEmpty(); }, 5000));
    EXPECT_GE(clock.elapsed(), 190);
    EXPECT_EQ(fin.ids, (QList<std::pair<int, bool>>{{connectId, true}}));
    EXPECT_EQ(fin.errors, QStringList{"No answer from the server within 200 ms"});
    EXPECT_EQ(fin.done, QList<bool>{true});
    EXPECT_EQ(ftp.currentCommand(), FtpClient::None);
}

TEST(FtpClientLimits, AServerThatHangsUpFailsTheCommandAndLaterOnesSayNotConnected)
{
    // First a preliminary reply, then the greeting: both multi-line, with inner lines that look
    // like replies of their own and must not end them.
    FakeServer rude{"120-the service is ready in a moment\r\n530 not the end: inner lines are text\r\n120 ready now\r\n"
                    "220-" + QByteArray(80, 'x') + "\r\n220-still the greeting\r\n421 also still the greeting\r\n220 \r\n"};
    FtpClient ftp;
    Finished fin(ftp);
    const int connectId = ftp.connectToHost(QStringLiteral("127.0.0.1"), rude.server.serverPort());
    const int loginId = ftp.login(QStringLiteral("root"), QStringLiteral("470913"));
    ASSERT_TRUE(runLoopUntil([&] { return fin.ids.size() == 2; }, 5000));
    const int mkdirId = ftp.mkdir(QStringLiteral("/x"));
    ASSERT_TRUE(runLoopUntil([&] { return fin.ids.size() == 3; }, 5000));
    const int closeId = ftp.close(); // closing what is closed is no error
    ASSERT_TRUE(runLoopUntil([&] { return fin.ids.size() == 4; }, 5000));
    EXPECT_EQ(fin.ids, (QList<std::pair<int, bool>>{{connectId, false}, {loginId, true}, {mkdirId, true}, {closeId, false}}));
    EXPECT_TRUE(fin.errors[1].startsWith("Connection closed by the server")) << qPrintable(fin.errors[1]);
    EXPECT_EQ(fin.errors[2], "Not connected");
}

constexpr int kCnc = 71;
constexpr int kFtpList = 20; // the report's errorCmd when a list stops; its state is the command's type
constexpr double kBelow100 = -1;
const QByteArray kMissing("<missing>");
const QByteArray kBig = patternBytes(8 << 20, 1);
const QByteArray kSmall = "G01 X10\nM30\n";

struct FtpExports;
struct ExportRow
{
    const char* name;
    FtpServerProcess::Options server;
    std::function<int(FtpExports&)> call; // the last call's result
    int result;
    double progress;        // polled at the end
    int reportState;        // -1: no report; else one report of kFtpList with this state
    const char* reportText; // the report's text starts so
    std::vector<std::pair<const char*, QByteArray>> holds = {}; // below root's home -> bytes; a folder: "" if there
    QStringList sent = {}, neverSent = {};
    int lists = 1;     // the server hears so many QUITs (a row with a report waits for it instead); 0: no wait
    int syncs = -1;    // times the controller was told of new files; -1: not looked at
    int atLeastMs = 0; // the list took at least this long
    double waitScale = 1.0;
};

struct FtpExports : FtpTest, ::testing::WithParamInterface<ExportRow>
{
    QByteArray file(const char* name, const QByteArray& content) { return localFile(QString::fromUtf8(name), content).toUtf8(); }
    QByteArray ip() const { return server.address().toLatin1(); }
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(startHost(GetParam().server));
        for (const char* dir : {"root/veko/usr/sys0002/program", "root/veko/usr/sys0010/plc", "root/veko/usr/sys0000/plc",
                                "root/veko/usr/sys0001", "root/made", "ftp/updata"})
            ASSERT_TRUE(QDir().mkpath(server.rootHome() + "/../" + dir));
        ASSERT_TRUE(sim.startSyncService());
        ASSERT_TRUE(addTargetCnc(kCnc, 2, ip().constData(), 0));
        ASSERT_TRUE(connect(kCnc)); // the command link's address is the calls' default
        ASSERT_TRUE(setErrCallbackFunc(recordError, kCnc));
        clearReportedError();
    }
    void TearDown() override { removeTargetCnc(kCnc); }
};

const ExportRow kExportRows[] = {
    {"TwoProgramFilesOfAChannelArriveWholeAndTheControllerHearsOfEach", {},
     [](FtpExports& t) { return ftpUploadFile(1, 2, t.file("a.nc", kBig) + "\n" + t.file("b.nc", kSmall), nullptr, kCnc); },
     0, 100.0, -1, "", {{"veko/usr/sys0002/program/a.nc", kBig}, {"veko/usr/sys0002/program/b.nc", kSmall}},
     {"USER root", "TYPE I", "PORT 127,0,0,", "QUIT"}, {"PASV", "EPSV"}, 1, 2},
    {"AnEmptyLineEndsThePathList", {},
     [](FtpExports& t) { return ftpUploadFile(1, 2, t.file("a.nc", "a") + "\n\n" + t.file("b.nc", "b") + "\n", "", kCnc); },
     0, 100.0, -1, "", {{"veko/usr/sys0002/program/a.nc", "a"}, {"veko/usr/sys0002/program/b.nc", kMissing}}},
    {"PlcFilesGoToFourDigitChannelFolders", {},
     [](FtpExports& t) {
         EXPECT_EQ(ftpUploadFile(0, 10, t.file("P10.plc", "ten"), t.ip(), kCnc), 0);
         EXPECT_TRUE(runLoopUntil([&] { return t.server.received("QUIT"); }, 20000)); // one upload at a time
         return ftpUploadFile(0, 0, t.file("P0.plc", "zero"), t.ip(), kCnc);
     },
     0, 100.0, -1, "", {{"veko/usr/sys0010/plc/P10.plc", "ten"}, {"veko/usr/sys0000/plc/P0.plc", "zero"}}, {}, {}, 2},
    {"AFileTypeOtherThanProgramOrPlcIsRefused", {},
     [](FtpExports& t) { return ftpUploadFile(2, 1, t.file("a.nc", "a"), t.ip(), kCnc); }, 1, 0.0, -1, "", {}, {}, {}, 0},
    {"WithoutAPathTheListOnlyLogsIn", {}, [](FtpExports& t) { return ftpUploadFile(2, 1, "", t.ip(), kCnc); },
     0, 0.0, -1, "", {}, {"USER root", "QUIT"}, {"TYPE", "STOR"}},
    {"TheDestinationIsAPrefixOfTheFileName", {},
     [](FtpExports& t) { return ftpUploadFileDes(t.file("prog.nc", "prog"), "/veko/usr/sys0001/program", nullptr, kCnc); },
     0, 100.0, -1, "", {{"veko/usr/sys0001/programprog.nc", "prog"}}},
    {"LocalNamesOutsideAsciiAreOpenedAndSentAsGiven", {},
     [](FtpExports& t) { return ftpUploadFileDes(t.file("程序.nc", "chinese"), "/veko/usr/sys0001/", t.ip(), kCnc); },
     0, 100.0, -1, "", {{"veko/usr/sys0001/程序.nc", "chinese"}}},
    {"AnUpdateGoesToTheFtpUsersFolder", {},
     [](FtpExports& t) { return ftpUpdateSystem(t.file("update.bin", patternBytes(300000, 6)), "", kCnc); },
     0, 100.0, -1, "", {{"../ftp/updata/update.bin", patternBytes(300000, 6)}}, {"USER ftp"}},
    {"AnEmptyFileArrivesEmpty", {}, [](FtpExports& t) { return ftpUploadFileDes(t.file("e.nc", ""), "/", nullptr, kCnc); },
     0, 100.0, -1, "", {{"e.nc", ""}}, {"STOR"}},
    {"FromAThreadWithoutAnEventLoopTheListRunsOnTheLibrarysThread", {}, // which goes on when the caller's ends
     [](FtpExports& t) {
         const QByteArray path = t.file("plain.bin", kSmall);
         int result = -1;
         std::thread([&] { result = ftpUploadFileDes(path, "/", nullptr, kCnc); }).join();
         return result;
     },
     0, 100.0, -1, "", {{"plain.bin", kSmall}}},
    // Stops, each told to the error callback with the failed command's type.
    {"ARefusedUploadStopsTheList", {},
     [](FtpExports& t) { return ftpUploadFile(1, 7, t.file("a.nc", "G0\n"), nullptr, kCnc); },
     0, kBelow100, 2, "上传出现错误：Upload failed: 550 ", {{"veko/usr/sys0007/program/a.nc", kMissing}}},
    {"AMissingLocalFileStopsBeforeAnythingIsSent", {},
     [](FtpExports& t) { return ftpUploadFileDes(t.file("x", "") + "/absent.nc", "/", nullptr, kCnc); },
     0, 0.0, 2, "上传终止，打开文件失败", {}, {"USER root"}, {"TYPE", "STOR"}},
    {"ADestinationLongerThanItsFieldIsRefusedNotCut", {},
     [](FtpExports& t) { return ftpUploadFileDes(t.file("a.nc", "a"), QByteArray(FtpCmd::kFieldSize, 'd'), nullptr, kCnc); },
     0, 0.0, 2, "上传终止，路径过长", {}, {}, {"STOR"}},
    {"AnAddressLongerThanItsFieldStopsAtOnce", {}, [](FtpExports&) { return ftpMkdir("/x", "127.000.000.100.0001", kCnc); },
     0, 0.0, 0, "连接终止，地址过长", {}, {}, {"USER"}},
    {"ALineBreakInAPathCannotSmuggleACommand", {},
     [](FtpExports& t) { return ftpUploadFileDes(t.file("a.nc", "a"), "/x\r\nMKD /smuggled/", nullptr, kCnc); },
     0, kBelow100, 2, "上传出现错误：A line break", {{"smuggled/", kMissing}}, {}, {"STOR", "MKD"}},
    {"AServerThatStopsAnsweringStopsTheUploadWithinTheStepLimit", {"STOR"},
     [](FtpExports& t) { return ftpUploadFileDes(t.file("a.nc", "abc"), "/", nullptr, kCnc); },
     0, kBelow100, 2, "上传出现错误：No answer from the server within 600 ms", {}, {}, {}, 1, 0, 600, 0.02},
    {"ADataConnectionTheServerDropsIsNeverSuccess", {"", 1 << 20},
     [](FtpExports& t) { return ftpUploadFileDes(t.file("big.bin", kBig), "/", nullptr, kCnc); },
     0, kBelow100, 2, "上传出现错误：Upload failed: the data connection ended", {}, {}, {}, 1, 0},
    // Operations that overlap: the newest is polled, the older runs on to its end.
    {"TheNewestOperationIsPolledWhileAnOlderOneRunsOn", {"STOR"},
     [](FtpExports& t) {
         EXPECT_EQ(ftpUploadFileDes(t.file("a.nc", "a"), "/", nullptr, kCnc), 0);
         EXPECT_TRUE(runLoopUntil([&] { return t.server.received("STOR"); }, 5000));
         EXPECT_EQ(ftpMkdir("/made/meanwhile", nullptr, kCnc), 0);
         return int(!runLoopUntil([] { return getFtpUploadFileProgress(kCnc) == 100.0; }, 5000));
     },
     0, 100.0, 2, "上传出现错误：No answer from the server within 600 ms", {{"made/meanwhile/", ""}}, {}, {}, 1, -1, 0, 0.02},
    {"RemovingTheTargetEndsItsUploads", {"STOR"},
     [](FtpExports& t) {
         int stored = 0;
         for (const char* folder : {"/", "/made/"}) {
             EXPECT_EQ(ftpUploadFileDes(t.file("a.nc", "a"), folder, nullptr, kCnc), 0);
             ++stored;
             EXPECT_TRUE(runLoopUntil([&] { return t.server.commands().filter("STOR").size() == stored; }, 5000));
         }
         const int removed = removeTargetCnc(kCnc);
         EXPECT_TRUE(runLoopUntil([&] { return t.server.commands().filter("(closed)").size() == 2; }, 5000));
         QCoreApplication::processEvents(); // nothing of theirs may run on
         return removed;
     },
     1, 1.0, -1, "", {}, {}, {}, 0},
};

template <class Row>
std::string rowName(const ::testing::TestParamInfo<Row>& info) { return info.param.name; }
void PrintTo(const ExportRow& row, std::ostream* out) { *out << row.name; }
TEST_P(FtpExports, Row)
{
    const ExportRow& row = GetParam();
    ScaledWaits scaled(row.waitScale);
    std::atomic<bool> stop{false}, outOfRange{false};
    std::thread poller([&] { // another thread may poll at any time (not while a row removes the target)
        waitUntil([&] {
            const double p = row.result == 0 ? getFtpUploadFileProgress(kCnc) : 0.0;
            outOfRange = outOfRange || p < 0.0 || p > 100.0;
            return stop.load();
        }, 60000);
    });
    std::vector<double> polled{0.0};
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(row.call(*this), row.result);
    EXPECT_TRUE(runLoopUntil([&] {
        const double p = getFtpUploadFileProgress(kCnc);
        if (polled.back() != p)
            polled.push_back(p);
        return row.lists == 0 || (row.reportState >= 0 ? reportedError().calls > 0 : server.commands().filter("QUIT").size() >= row.lists);
    }, 20000)) << "the list neither ended nor stopped";
    EXPECT_GE(clock.elapsed(), row.atLeastMs);
    stop = true;
    poller.join();
    EXPECT_FALSE(outOfRange);

    const ReportedError report = reportedError();
    EXPECT_EQ(report.calls, row.reportState < 0 ? 0 : 1) << report.detail;
    if (row.reportState >= 0) {
        EXPECT_EQ(report.errorCmd, kFtpList);
        EXPECT_EQ(report.cmdState, row.reportState);
        EXPECT_EQ(report.detail.rfind(row.reportText, 0), 0u) << report.detail;
    }
    const double progress = getFtpUploadFileProgress(kCnc);
    EXPECT_TRUE(row.progress == kBelow100 ? progress < 100.0 : progress == row.progress) << progress;
    // The progress rises while data flows; it falls only when the next file starts (to 0, or from 100
    // when the poll missed the 0).
    for (size_t i = 1; i < polled.size(); ++i)
        EXPECT_TRUE(polled[i] >= polled[i - 1] || polled[i] == 0.0 || polled[i - 1] == 100.0)
            << polled[i - 1] << " then " << polled[i];
    const auto midway = std::find_if(polled.begin(), polled.end(), [](double p) { return p > 50 && p < 100; });
    EXPECT_TRUE(row.holds.empty() || row.holds[0].second != kBig || midway != polled.end()) << "no progress while data flowed";

    for (const auto& held : row.holds) {
        const QString path = server.rootHome() + '/' + QString::fromUtf8(held.first);
        const bool folder = path.endsWith('/');
        EXPECT_TRUE(folder ? QDir(path).exists() == (held.second != kMissing) : readWholeFile(path) == held.second) << held.first;
    }
    for (const QString& command : row.sent)
        EXPECT_TRUE(server.received(command)) << qPrintable(command);
    for (const QString& command : row.neverSent)
        EXPECT_FALSE(server.received(command)) << qPrintable(command);
    EXPECT_TRUE(row.syncs < 0 || waitUntil([&] { return sim.syncCount() == row.syncs; }, 5000)) << sim.syncCount();
}

INSTANTIATE_TEST_SUITE_P(Ftp, FtpExports, ::testing::ValuesIn(kExportRows), rowName<ExportRow>);

// The operator's own lists: what only its signals show, and commands the exported calls never make.
using Cmds = QList<FtpCmd>;
struct OperatorRecorder : QObject // state texts, percent signals and finished lists
{
    explicit OperatorRecorder(VTeleFileOpreator* op)
    {
        QObject::connect(op, &VTeleFileOpreator::stateInf, this, [this](const QString& s) { states << s; });
        QObject::connect(op, &VTeleFileOpreator::opreatProgrss, this, [this](int p) { percents << p; });
        QObject::connect(op, &VTeleFileOpreator::cmdListFinished, this, [this](int c) { finished << c; });
    }
    QStringList states;
    QList<int> percents, finished;
};
struct FtpOperator;
struct OperatorRow
{
    const char* name;
    std::function<Cmds(FtpOperator&)> list; // after the login
    QList<int> finished;
    QStringList says; // state texts starting so, in this order; a stopped list's last one is the last
    int lastPercent;  // -1: no percent signal
    QByteArray fetched = {}; // the download's local file
    bool sync = true;
};

struct FtpOperator : FtpTest, ::testing::WithParamInterface<OperatorRow>
{
};

const QString kLong(FtpCmd::kFieldSize, QLatin1Char('n'));
const QStringList kUploadSteps{"Connecting to server...", "连接到服务器成功", "Logging...", "登录成功", "Uploading...", "已经完成上传"};
const OperatorRow kOperatorRows[] = {
    {"AnUploadSaysEachStepAndTheControllersAnswer",
     [](FtpOperator& t) { return Cmds{FtpCmd::transfer(Put, t.localFile("a.nc", kBig), QStringLiteral("a.nc"))}; },
     {2}, kUploadSteps + QStringList{"Upload to complete"}, 100},
    {"WithoutTheSyncServiceAnUploadSaysSoAndEndsWell",
     [](FtpOperator& t) { return Cmds{FtpCmd::transfer(Put, t.localFile("a.nc", "a"), QStringLiteral("a.nc"))}; },
     {2}, kUploadSteps + QStringList{"Failed to connect to server"}, 100, {}, false},
    {"AnEmptyFileReportsProgressOnce",
     [](FtpOperator& t) { return Cmds{FtpCmd::transfer(Put, t.localFile("e.nc", ""), QStringLiteral("e.nc"))}; },
     {2}, {"已经完成上传"}, 0},
    {"ADownloadArrivesWhole",
     [](FtpOperator& t) {
         QFile remote(t.server.rootHome() + "/remote.bin");
         EXPECT_TRUE(remote.open(QIODevice::WriteOnly) && remote.write(patternBytes(3 << 20, 3)) == 3 << 20);
         return Cmds{FtpCmd::transfer(Get, QStringLiteral("remote.bin"), t.localPath("fetched.bin"))};
     },
     {3}, {"Downloading...", "已经完成下载"}, 0, patternBytes(3 << 20, 3)}, // the server does not say the size
    {"AWrongPasswordStopsAtTheLoginWithTheServersWords",
     [](FtpOperator&) { return Cmds{FtpCmd::login("root", "470914"), FtpCmd::makeDir(QStringLiteral("/veko"))}; },
     {}, {"登录出现错误：Login failed: 530 "}, -1},
    {"ALocalPathOfTheFieldsLengthLessOneIsTaken",
     [](FtpOperator&) { return Cmds{FtpCmd::transfer(Put, kLong.left(FtpCmd::kFieldSize - 1), QStringLiteral("a"))}; },
     {}, {"上传终止，打开文件失败"}, -1},
    {"ALongLocalPathIsRefusedNotCut",
     [](FtpOperator&) { return Cmds{FtpCmd::transfer(Put, kLong, QStringLiteral("a.nc"))}; }, {}, {"上传终止，路径过长"}, -1},
    {"ALongDownloadPathIsRefusedNotCut",
     [](FtpOperator& t) { return Cmds{FtpCmd::transfer(Get, kLong, t.localPath("x"))}; }, {}, {"下载终止，路径过长"}, -1},
    {"ALongFolderIsRefusedNotCut", [](FtpOperator&) { return Cmds{FtpCmd::makeDir(kLong)}; }, {}, {"创建终止，路径过长"}, -1},
    {"ALongPasswordIsRefusedNotCut",
     [](FtpOperator&) { return Cmds{FtpCmd::login("root", "470913" + QByteArray(14, '3'))}; }, {}, {"登录终止，用户名或密码过长"}, -1},
};

void PrintTo(const OperatorRow& row, std::ostream* out) { *out << row.name; }
TEST_P(FtpOperator, Row)
{
    const OperatorRow& row = GetParam();
    ASSERT_NO_FATAL_FAILURE(startHost());
    ASSERT_TRUE(!row.sync || sim.startSyncService());
    VTeleFileOpreator op;
    OperatorRecorder rec(&op);
    const QByteArray ip = server.address().toLatin1();
    EXPECT_EQ(op.startCmdList(Cmds{FtpCmd::connectHost(ip), FtpCmd::login("root", "470913")} + row.list(*this)), 1);
    auto saidInOrder = [&] {
        int at = 0;
        for (const QString& state : rec.states)
            at += at < row.says.size() && state.startsWith(row.says[at]);
        return at == row.says.size();
    };
    EXPECT_TRUE(runLoopUntil([&] { return !op.isListRunning() && saidInOrder(); }, 20000)) << qPrintable(rec.states.join(" | "));
    EXPECT_EQ(rec.finished, row.finished);
    // A download ends where its last percent left it.
    EXPECT_TRUE(!row.fetched.isEmpty() || op.progress() == (row.finished.isEmpty() ? 0.0 : 100.0)) << op.progress();
    EXPECT_TRUE(!row.finished.isEmpty() || rec.states.value(rec.states.size() - 1).startsWith(row.says.last()))
        << qPrintable(rec.states.join(" | "));
    EXPECT_EQ(rec.percents.isEmpty() ? -1 : rec.percents.last(), row.lastPercent);
    for (int i = 1; i < rec.percents.size(); ++i)
        EXPECT_GE(rec.percents[i], rec.percents[i - 1]);
    EXPECT_TRUE(row.fetched.isEmpty() || readWholeFile(localPath("fetched.bin")) == row.fetched);
}

INSTANTIATE_TEST_SUITE_P(Ftp, FtpOperator, ::testing::ValuesIn(kOperatorRows), rowName<OperatorRow>);

// Lists that end before any command: nothing to run, or nothing known.
TEST(FtpOperatorLists, EmptyOrUnknownListsEndWithoutHarm)
{
    VTeleFileOpreator op;
    OperatorRecorder rec(&op);
    FtpCmd odd;
    odd.cmdType = 7;
    for (const Cmds& list : {Cmds{}, Cmds{odd}}) {
        op.startCmdList(list);
        EXPECT_TRUE(runLoopUntil([&] { return !op.isListRunning(); }, 5000));
    }
    EXPECT_EQ(rec.finished, QList<int>{-1});
    EXPECT_TRUE(rec.states.isEmpty());
}

// A later operation frees the older ones whose lists have ended, and only those.
TEST(FtpOperatorLists, ALaterOperationFreesTheFinishedOlderOnes)
{
    VTeleFileOpreator* newest = nullptr;
    FtpOperatorSet set(newest);
    auto* running = new VTeleFileOpreator;
    running->markListStarting();
    const QPointer<VTeleFileOpreator> ended(new VTeleFileOpreator);
    set.replaceNewest(running);
    set.replaceNewest(ended.data());
    set.replaceNewest(new VTeleFileOpreator);
    EXPECT_TRUE(ended.isNull());
    EXPECT_EQ(set.olderCount(), 1) << "the running one stays";
}

} // namespace
