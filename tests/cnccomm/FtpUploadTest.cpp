// upload and mkdir against a real FTP server (pyftpdlib) on the simulated controller's address,
// and their failure when no server answers.
#include "CnccommFixture.h"
#include "FtpServerProcess.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>

namespace {
QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

QByteArray bytesOfSize(int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        bytes[i] = char(i * 7 + i / 251);
    return bytes;
}
}

// The FTP server and the simulated controller (with its sync service) share one address.
class CnccommFtpTest : public CnccommTest
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        for (int first = 100; first < 250;) {
            ASSERT_TRUE(server.start(FtpServerProcess::Options(), first)) << "pyftpdlib did not start (" ACM_FTP_PYTHON ")";
            if (sim.start(server.address()))
                break;
            first = server.hostNumber() + 1;
        }
        ASSERT_EQ(sim.address(), server.address());
        ASSERT_TRUE(sim.startSyncService());
    }
    QString rootPath(const QString& path) const { return server.rootHome() + path; }

    FtpServerProcess server;
};

TEST_F(CnccommFtpTest, UploadPutsFilesIntoTheChannelsFoldersWithProgress)
{
    ASSERT_TRUE(QDir().mkpath(rootPath("/veko/usr/sys0002/program")));
    ASSERT_TRUE(QDir().mkpath(rootPath("/veko/usr/sys0002/plc")));
    const QByteArray first = bytesOfSize(300000);
    const QByteArray second = bytesOfSize(1000);
    const ToolRun r = runHere({"--channel", "2", "upload", writeFile("a.nc", first), writeFile("b.nc", second)});
    EXPECT_EQ(r.status, 0) << qPrintable(r.err);
    EXPECT_EQ(fileBytes(rootPath("/veko/usr/sys0002/program/a.nc")), first);
    EXPECT_EQ(fileBytes(rootPath("/veko/usr/sys0002/program/b.nc")), second);
    for (const QString label : {"upload a.nc", "upload b.nc"}) {
        const std::vector<int> percents = percentLines(r.out, label);
        EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end())) << qPrintable(r.out);
        ASSERT_FALSE(percents.empty()) << qPrintable(r.out);
        EXPECT_EQ(percents.front(), 0);
        EXPECT_EQ(percents.back(), 100);
    }
    EXPECT_EQ(r.out.count("ftpUploadFile: result 0"), 2);
    EXPECT_TRUE(waitUntil([&] { return sim.syncCount() == 2; }, 2000)) << "the controller was told of each file";

    const ToolRun plc = runHere({"--json", "--channel", "2", "upload", "--plc", writeFile("p.plc", "LD X1\n")});
    EXPECT_EQ(plc.status, 0) << qPrintable(plc.err);
    EXPECT_EQ(fileBytes(rootPath("/veko/usr/sys0002/plc/p.plc")), "LD X1\n");
    const QJsonObject uploaded = plc.json().value("files").toArray().at(0).toObject();
    EXPECT_EQ(uploaded.value("progress").toDouble(), 100.0);
}

TEST_F(CnccommFtpTest, UploadToAFolderOrAsSystemUpdateAndMakeAFolder)
{
    const ToolRun made = runHere({"mkdir", "/made"});
    EXPECT_EQ(made.status, 0) << qPrintable(made.err);
    EXPECT_TRUE(made.outLines().contains("made /made")) << qPrintable(made.out);
    EXPECT_TRUE(QDir(rootPath("/made")).exists());

    const ToolRun to = runHere({"upload", "--to", "/made/", writeFile("x.nc", "G0\n")});
    EXPECT_EQ(to.status, 0) << qPrintable(to.err);
    EXPECT_TRUE(to.out.contains("ftpUploadFileDes: result 0")) << qPrintable(to.out);
    EXPECT_EQ(fileBytes(rootPath("/made/x.nc")), "G0\n");

    ASSERT_TRUE(QDir().mkpath(server.ftpHome() + "/updata"));
    const ToolRun system = runHere({"upload", "--system", writeFile("update.bin", bytesOfSize(5000))});
    EXPECT_EQ(system.status, 0) << qPrintable(system.err);
    EXPECT_EQ(fileBytes(server.ftpHome() + "/updata/update.bin"), bytesOfSize(5000));
}

TEST_F(CnccommFtpTest, AnUploadTheServerRefusesIsUnfinished)
{
    // The channel's program folder does not exist on the server: the upload is refused.
    const ToolRun r = runHere({"--timeout", "1", "--channel", "7", "upload", writeFile("a.nc", "G0\n")});
    EXPECT_EQ(r.status, 8) << qPrintable(r.out);
    EXPECT_TRUE(r.err.contains("the upload of")) << qPrintable(r.err);
}

TEST_F(CnccommTest, UploadWithoutAServerIsUnfinishedAfterTheTimeout)
{
    RefusingAddress nowhere;
    const ToolRun upload = run({"--host", nowhere.address(), "--timeout", "1", "upload", writeFile("a.nc", "G0\n")}, 10000);
    EXPECT_EQ(upload.status, 8);
    EXPECT_TRUE(upload.err.contains(QStringLiteral("stopped at 0%: no FTP server at %1").arg(nowhere.address())))
        << qPrintable(upload.err);
    const QJsonObject json = run({"--json", "--host", nowhere.address(), "--timeout", "1", "mkdir", "/x"}, 10000).json();
    EXPECT_EQ(json.value("exitStatus").toInt(), 8);
    EXPECT_EQ(json.value("progress").toDouble(), 0.0);
}

TEST_F(CnccommTest, UploadOfAMissingLocalFileIsALocalFileError)
{
    const ToolRun r = runHere({"upload", writeFile("here.nc", "G0\n"), dir.path() + "/gone.nc"});
    EXPECT_EQ(r.status, 7);
    EXPECT_TRUE(r.err.contains("cannot read " + dir.path() + "/gone.nc")) << qPrintable(r.err);
    EXPECT_TRUE(r.out.isEmpty()) << "nothing was started";
}
