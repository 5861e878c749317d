// The simulator program's FTP endpoint: uploads land under the controller's folder, the server goes
// with the program, and when it cannot start the program says why and serves on without it.
#include "AsyncCommModule.h"
#include "ExportNames.h"
#include "SimulatorProcess.h"
#include "TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <memory>

namespace {
constexpr int kCnc = 62;

bool ftpAnswers(const QString& address)
{
    QTcpSocket probe;
    probe.connectToHost(address, 21);
    return probe.waitForConnected(1000);
}

class SimulatorFtpTest : public ::testing::Test
{
protected:
    void TearDown() override
    {
        for (int id : {kCnc, kCnc + 1})
            removeTargetCnc(id);
        simulator.stop();
    }
    void addTarget(int id, int index)
    {
        const QByteArray ip = simulator.addressBytes(index);
        ASSERT_TRUE(addTargetCnc(id, 1, ip.constData(), 0) && connect(id));
    }
    QByteArray localFile(const QString& name, const QByteArray& content)
    {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
        return file.fileName().toUtf8();
    }
    // Runs this thread's event loop, which the FTP operations need, until the upload has finished.
    static bool uploaded(int id)
    {
        return waitUntil([id] {
            QCoreApplication::processEvents();
            return getFtpUploadFileProgress(id) == 100.0;
        }, 15000);
    }

    QTemporaryDir dir;
    SimulatorProcess simulator;
};

TEST_F(SimulatorFtpTest, UploadsLandUnderEachControllersRoot)
{
    const QString root = dir.filePath(QStringLiteral("controllers"));
    ASSERT_TRUE(simulator.start([&](const QStringList&) { return QStringList{"--ftp", "--ftp-root", root}; }, 2))
        << simulator.errors().toStdString();
    addTarget(kCnc, 0);
    addTarget(kCnc + 1, 1);
    const QString program = root + "/%1/veko/usr/sys0001/program/O0001.nc";

    ASSERT_EQ(ftpUploadFile(1, 1, localFile("O0001.nc", "G00 X0\nM30\n"), "", kCnc + 1), 0);
    ASSERT_TRUE(uploaded(kCnc + 1));
    EXPECT_EQ(fileText(qPrintable(program.arg(simulator.address(1)))), "G00 X0\nM30\n");
    EXPECT_FALSE(QFile::exists(program.arg(simulator.address(0))));

    for (const char* folder : {"veko/usr/sys0000/plc", "veko/usr/sys0001/program", "veko/usr/sys0009/plc", "updata"})
        EXPECT_TRUE(QDir(root + '/' + simulator.address(0)).exists(QLatin1String(folder))) << folder;
    const QByteArray package("\x00\x01\xff", 3);
    ASSERT_EQ(ftpUpdateSystem(localFile("update.bin", package), "", kCnc), 0);
    ASSERT_TRUE(uploaded(kCnc));
    EXPECT_EQ(fileText(qPrintable(root + QStringLiteral("/%1/updata/update.bin").arg(simulator.address(0)))), package.toStdString());

    simulator.stop();
    EXPECT_FALSE(ftpAnswers(simulator.address(0))) << "the FTP server ends with the simulator";
    EXPECT_FALSE(ftpAnswers(simulator.address(1)));
}

TEST_F(SimulatorFtpTest, WithoutARootATemporaryFolderHoldsTheFilesWhileItRuns)
{
    ASSERT_TRUE(simulator.start([](const QStringList&) { return QStringList{"--ftp"}; })) << simulator.errors().toStdString();
    const QRegularExpressionMatch served =
        QRegularExpression(QStringLiteral("FTP on [0-9.]+:21, users root and ftp in (\\S+)\n")).match(QString::fromUtf8(simulator.output()));
    ASSERT_TRUE(served.hasMatch()) << simulator.output().toStdString();
    const QDir home(served.captured(1));
    EXPECT_TRUE(home.exists(QStringLiteral("veko/usr/sys0001/program")));
    simulator.stop(SIGHUP); // a closed terminal ends it as cleanly as Ctrl-C
    EXPECT_FALSE(home.exists()) << "the temporary folder goes with the simulator";
}

TEST_F(SimulatorFtpTest, WhenFtpCannotStartTheSimulatorSaysWhyAndServesOn)
{
    // A python3 that cannot import pyftpdlib: the system's, without its site packages.
    const QString python = dir.filePath(QStringLiteral("python3"));
    localFile(QStringLiteral("python3"), "#!/bin/sh\nexec " ACM_FTP_PYTHON " -S \"$@\"\n");
    QFile(python).setPermissions(QFile(python).permissions() | QFileDevice::ExeOwner);
    std::unique_ptr<QTcpServer> holder;
    const struct { QStringList arguments; bool holdPort21; QString says; } rows[] = {
        {{"--ftp", "--ftp-python", python}, false, "pyftpdlib is not installed for " + python + "; "},
        {{"--ftp"}, true, "port 21 cannot be bound ("},
    };
    for (const auto& row : rows) {
        ASSERT_TRUE(simulator.start([&](const QStringList& addresses) {
            holder.reset(new QTcpServer); // a new one for each address the start tries
            if (row.holdPort21)
                holder->listen(QHostAddress(addresses.first()), 21);
            return row.arguments;
        }, 1, 240)) << simulator.errors().toStdString(); // above the addresses the other tests here take
        ASSERT_EQ(holder->isListening(), row.holdPort21) << "port 21 needs root";
        const QString errors = QString::fromUtf8(simulator.errors());
        EXPECT_TRUE(errors.startsWith("cnc-simulator: FTP is not served on " + simulator.address() + ": " + row.says))
            << errors.toStdString();
        EXPECT_EQ(ftpAnswers(simulator.address()), row.holdPort21);
        addTarget(kCnc, 0);
        EXPECT_EQ(CheckTcpWdt(kCnc), 0) << "the controller serves on";
        removeTargetCnc(kCnc);
        simulator.stop();
    }
}
}
