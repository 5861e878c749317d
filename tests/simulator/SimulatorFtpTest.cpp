// The simulator program's FTP endpoint: files uploaded through the library's exported FTP
// functions land under the controller's folder, the server goes with the program, and when
// it cannot start the program says why and serves on without it.
#include "AsyncCommModule.h"
#include "SimulatorProcess.h"
#include "TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <memory>

namespace {
constexpr int kCnc = 62;
constexpr int kLoopMs = 15000;

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

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
        for (int id : {kCnc, kCnc + 1}) {
            disconnect(id);
            removeTargetCnc(id);
        }
        simulator.stop();
    }
    void addTarget(int id, int index)
    {
        QByteArray ip = simulator.addressBytes(index);
        ASSERT_TRUE(addTargetCnc(id, 1, ip.data(), 0));
        ASSERT_TRUE(connect(id));
    }
    QString localFile(const QString& name, const QByteArray& content)
    {
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
        return path;
    }
    // Runs this thread's event loop, which the FTP operations need, until the upload has finished.
    static bool uploaded(int id)
    {
        QElapsedTimer clock;
        clock.start();
        while (getFtpUploadFileProgress(id) < 100.0 && clock.elapsed() < kLoopMs)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        return getFtpUploadFileProgress(id) == 100.0;
    }

    QTemporaryDir dir;
    SimulatorProcess simulator;
};

TEST_F(SimulatorFtpTest, UploadsLandUnderEachControllersRoot)
{
    const QString root = dir.filePath(QStringLiteral("controllers"));
    ASSERT_TRUE(simulator.start([&](const QStringList&) {
        return QStringList{QStringLiteral("--ftp"), QStringLiteral("--ftp-root"), root};
    }, 2)) << simulator.errors().toStdString();
    EXPECT_EQ(simulator.output().count("cnc-simulator FTP on "), 2) << simulator.output().toStdString();
    EXPECT_TRUE(simulator.errors().isEmpty()) << simulator.errors().toStdString();
    addTarget(kCnc, 0);
    addTarget(kCnc + 1, 1);

    QByteArray program = localFile(QStringLiteral("O0001.nc"), "G00 X0\nM30\n").toUtf8();
    char empty[] = "";
    ASSERT_EQ(ftpUploadFile(1, 1, program.data(), empty, kCnc + 1), 0);
    ASSERT_TRUE(uploaded(kCnc + 1));
    EXPECT_EQ(readAll(root + QStringLiteral("/%1/veko/usr/sys0001/program/O0001.nc").arg(simulator.address(1))),
              "G00 X0\nM30\n");
    EXPECT_FALSE(QFile::exists(root + QStringLiteral("/%1/veko/usr/sys0001/program/O0001.nc").arg(simulator.address(0))));

    QByteArray package = localFile(QStringLiteral("update.bin"), QByteArray("\x00\x01\xff", 3)).toUtf8();
    ASSERT_EQ(ftpUpdateSystem(package.data(), empty, kCnc), 0);
    ASSERT_TRUE(uploaded(kCnc));
    EXPECT_EQ(readAll(root + QStringLiteral("/%1/updata/update.bin").arg(simulator.address(0))),
              QByteArray("\x00\x01\xff", 3));

    simulator.stop();
    EXPECT_FALSE(ftpAnswers(simulator.address(0))) << "the FTP server ends with the simulator";
    EXPECT_FALSE(ftpAnswers(simulator.address(1)));
}

TEST_F(SimulatorFtpTest, WithoutARootATemporaryFolderHoldsTheControllersFoldersWhileItRuns)
{
    ASSERT_TRUE(simulator.start([](const QStringList&) { return QStringList{QStringLiteral("--ftp")}; }))
        << simulator.errors().toStdString();
    const QRegularExpressionMatch served =
        QRegularExpression(QStringLiteral("FTP on [0-9.]+:21, users root and ftp in (\\S+)\n"))
            .match(QString::fromUtf8(simulator.output()));
    ASSERT_TRUE(served.hasMatch()) << simulator.output().toStdString();
    const QDir home(served.captured(1));
    for (const char* folder : {"veko/usr/sys0000/plc", "veko/usr/sys0001/program", "veko/usr/sys0009/plc", "updata"})
        EXPECT_TRUE(home.exists(QLatin1String(folder))) << folder;
    EXPECT_TRUE(ftpAnswers(simulator.address()));
    simulator.stop();
    EXPECT_FALSE(QFileInfo::exists(home.path())) << "the temporary folder goes with the simulator";
}

TEST_F(SimulatorFtpTest, WhenFtpCannotStartTheSimulatorSaysWhyAndServesOn)
{
    // A python3 that cannot import pyftpdlib: the system's, without its site packages.
    const QString python = dir.filePath(QStringLiteral("python3"));
    QFile wrapper(python);
    ASSERT_TRUE(wrapper.open(QIODevice::WriteOnly));
    wrapper.write("#!/bin/sh\nexec " ACM_FTP_PYTHON " -S \"$@\"\n");
    wrapper.close();
    wrapper.setPermissions(wrapper.permissions() | QFileDevice::ExeOwner);
    ASSERT_TRUE(simulator.start([&](const QStringList&) {
        return QStringList{QStringLiteral("--ftp"), QStringLiteral("--ftp-python"), python};
    })) << simulator.errors().toStdString();
    EXPECT_EQ(simulator.errors().toStdString(),
              QStringLiteral("cnc-simulator: FTP is not served on %1: pyftpdlib is not installed for %2; install the "
                             "Debian package python3-pyftpdlib or name a python3 that has it with --ftp-python. Going "
                             "on without it.\n").arg(simulator.address(), python).toStdString());
    EXPECT_FALSE(ftpAnswers(simulator.address()));
    addTarget(kCnc, 0);
    EXPECT_EQ(CheckTcpWdt(kCnc), 0) << "the controller serves on";
    disconnect(kCnc);
    removeTargetCnc(kCnc);
    simulator.stop();

    // Port 21 of the address is taken.
    std::unique_ptr<QTcpServer> holder;
    ASSERT_TRUE(simulator.start([&](const QStringList& addresses) {
        holder.reset(new QTcpServer);
        holder->listen(QHostAddress(addresses.first()), 21);
        return QStringList{QStringLiteral("--ftp")};
    })) << simulator.errors().toStdString();
    ASSERT_TRUE(holder->isListening()) << "port 21 needs root";
    EXPECT_TRUE(simulator.errors().startsWith(
        QStringLiteral("cnc-simulator: FTP is not served on %1: port 21 cannot be bound (").arg(simulator.address())
            .toUtf8()))
        << simulator.errors().toStdString();
    EXPECT_TRUE(simulator.errors().endsWith("): another server has it. Going on without it.\n"))
        << simulator.errors().toStdString();
    addTarget(kCnc, 0);
    EXPECT_EQ(CheckTcpWdt(kCnc), 0) << "the controller serves on";
}
}
