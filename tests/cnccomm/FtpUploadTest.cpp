// upload and mkdir against a real FTP server (pyftpdlib) on the simulated controller's address.
#include "CnccommFixture.h"
#include "FrameFields.h"
#include "FtpServerProcess.h"

#include <QDir>

namespace {
QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return QDir(path).exists() ? "<folder>" : f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
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

TEST_F(CnccommFtpTest, UploadsGoIntoTheChannelsFoldersWithProgressAndRefusalsEndAtOnce)
{
    for (const char* folder : {"/veko/usr/sys0002/program", "/veko/usr/sys0002/plc"})
        ASSERT_TRUE(QDir().mkpath(rootPath(folder)));
    ASSERT_TRUE(QDir().mkpath(server.ftpHome() + "/updata"));
    const QByteArray first = countingBytes(300000), second = countingBytes(1000);
    const ToolRun r = runHere({"--channel", "2", "upload", writeFile("a.nc", first), writeFile("b.nc", second)});
    EXPECT_EQ(r.status, 0) << qPrintable(r.err);
    for (const QString label : {"upload a.nc", "upload b.nc"})
        EXPECT_TRUE(risingPercents(r.out, label)) << qPrintable(r.out);
    EXPECT_EQ(r.out.count("ftpUploadFile: result 0"), 2);
    EXPECT_TRUE(waitUntil([&] { return sim.syncCount() == 2; }, 2000)) << "the controller was told of each file";
    const struct
    {
        QStringList args; // with --timeout 30: a refusal ends at once, before run()'s bound
        int status;
        QString shows;
        QString path; // where the file is then, with these bytes
        QByteArray bytes;
    } rows[] = {
        {{}, 0, "", rootPath("/veko/usr/sys0002/program/a.nc"), first},
        {{}, 0, "", rootPath("/veko/usr/sys0002/program/b.nc"), second},
        {{"--json", "--channel", "2", "upload", "--plc", writeFile("p.plc", "LD X1\n")}, 0, "\"progress\":100",
         rootPath("/veko/usr/sys0002/plc/p.plc"), "LD X1\n"},
        {{"mkdir", "/made"}, 0, "made /made", rootPath("/made"), "<folder>"},
        {{"upload", "--to", "/made", writeFile("x.nc", "G0\n")}, 0, "ftpUploadFileDes: result 0", rootPath("/made/x.nc"), "G0\n"},
        {{"upload", "--system", writeFile("update.bin", second)}, 0, "", server.ftpHome() + "/updata/update.bin", second},
        {{"--channel", "7", "upload", writeFile("c.nc", "G0\n")}, 8, "the upload of", rootPath("/veko/usr/sys0007"), "<missing>"},
        {{"mkdir", "/no/parent"}, 8, "mkdir /no/parent did not finish", rootPath("/no"), "<missing>"},
        {{"upload", dir.path() + "/gone.nc"}, 7, "gone.nc: No such file or directory", rootPath("/gone.nc"), "<missing>"},
    };
    for (const auto& row : rows) {
        const ToolRun r = row.args.isEmpty() ? ToolRun{0, {}, {}} : runHere(QStringList{"--timeout", "30"} + row.args);
        EXPECT_EQ(r.status, row.status) << qPrintable(row.args.join(' ')) << qPrintable(r.err);
        EXPECT_TRUE((r.out + r.err).contains(row.shows)) << qPrintable(r.out + r.err);
        EXPECT_FALSE(r.err.contains("no progress for")) << qPrintable(r.err);
        EXPECT_EQ(fileBytes(row.path), row.bytes) << qPrintable(row.path);
    }
}
