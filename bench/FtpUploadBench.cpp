// Upload throughput of the FTP file operator (connect, log in, one 100 MB upload) against a
// plain active-mode upload of the same file by curl (or Python's ftplib when there is no curl)
// to the same pyftpdlib server in the same run. Prints the best of seven rounds of each and
// the ratio. Loopback only.
#include "VTeleFileOpreator.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {
constexpr qint64 kFileBytes = 100ll << 20;
constexpr int kRounds = 7;

bool writeFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    QByteArray block(1 << 20, Qt::Uninitialized);
    quint32 x = 12345;
    for (qint64 written = 0; written < kFileBytes; written += block.size()) {
        for (char& c : block) {
            x ^= x << 13;
            x ^= x >> 17;
            x ^= x << 5;
            c = char(x);
        }
        if (f.write(block) != block.size())
            return false;
    }
    return true;
}

// Seconds from the start of the list to its end; negative when it failed or took over 60 s.
double operatorUpload(const QString& host, const QString& local)
{
    VTeleFileOpreator op;
    QEventLoop loop;
    bool ok = false;
    QObject::connect(&op, &VTeleFileOpreator::cmdListFinished, &loop, [&](int) {
        ok = true;
        loop.quit();
    });
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    QElapsedTimer clock;
    clock.start();
    op.startCmdList({FtpCmd::connectHost(host.toLatin1()), FtpCmd::login("root", "470913"),
                     FtpCmd::transfer(Put, local, QStringLiteral("ours.bin"))});
    if (!ok)
        loop.exec();
    return ok ? clock.nsecsElapsed() / 1e9 : -1.0;
}

// The plain client's own measure of its transfer, connection and login included.
double plainUpload(const QString& host, const QString& local)
{
    QProcess p;
    const QString curl = QStandardPaths::findExecutable(QStringLiteral("curl"));
    if (!curl.isEmpty()) {
        // -P - : active mode, PORT on the control connection's own address.
        p.start(curl, {QStringLiteral("-sS"), QStringLiteral("-P"), QStringLiteral("-"), QStringLiteral("-T"), local,
                       QStringLiteral("-w"), QStringLiteral("%{time_total}"),
                       QStringLiteral("ftp://root:470913@%1/plain.bin").arg(host)});
    } else {
        p.start(QStringLiteral(ACM_FTP_PYTHON),
                {QStringLiteral("-c"),
                 QStringLiteral("import ftplib,sys,time\n"
                                "t=time.monotonic()\n"
                                "f=ftplib.FTP(sys.argv[1]);f.login('root','470913');f.set_pasv(False)\n"
                                "f.storbinary('STOR plain.bin',open(sys.argv[2],'rb'),blocksize=262144)\n"
                                "print(time.monotonic()-t)\n"),
                 host, local});
    }
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return -1.0;
    bool ok = false;
    const double seconds = p.readAllStandardOutput().trimmed().toDouble(&ok);
    return ok ? seconds : -1.0;
}
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString local = dir.path() + QStringLiteral("/upload.bin");
    if (!dir.isValid() || !QDir().mkpath(dir.path() + "/root") || !QDir().mkpath(dir.path() + "/ftp") ||
        !writeFile(local)) {
        std::fprintf(stderr, "cannot prepare the file to upload\n");
        return 1;
    }
    QProcess server;
    server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    server.start(QStringLiteral(ACM_FTP_PYTHON),
                 {QStringLiteral(ACM_FTP_SERVER_SCRIPT), QStringLiteral("--first-host"), QStringLiteral("150"),
                  QStringLiteral("--root-home"), dir.path() + "/root", QStringLiteral("--ftp-home"), dir.path() + "/ftp",
                  QStringLiteral("--log"), dir.path() + "/commands.log", QStringLiteral("--lifetime"), QStringLiteral("600")});
    QByteArray ready;
    while (!ready.contains('\n') && server.waitForReadyRead(5000))
        ready += server.readAllStandardOutput();
    if (!ready.startsWith("READY ")) {
        std::fprintf(stderr, "pyftpdlib did not start (%s)\n", ACM_FTP_PYTHON);
        return 1;
    }
    const QString host = QString::fromLatin1(ready.mid(6).trimmed());

    double ours = 1e9;
    double plain = 1e9;
    for (int round = 1; round <= kRounds; ++round) {
        const double o = operatorUpload(host, local);
        const double p = plainUpload(host, local);
        if (o <= 0 || p <= 0) {
            std::fprintf(stderr, "round %d failed (operator %.3f s, plain %.3f s)\n", round, o, p);
            return 1;
        }
        std::printf("round %d: operator %.3f s, plain %.3f s\n", round, o, p);
        ours = std::min(ours, o);
        plain = std::min(plain, p);
    }
    const double mb = kFileBytes / 1048576.0;
    std::printf("operator upload : %7.1f MB/s\n", mb / ours);
    std::printf("plain upload    : %7.1f MB/s (%s)\n", mb / plain,
                QStandardPaths::findExecutable(QStringLiteral("curl")).isEmpty() ? "ftplib" : "curl");
    std::printf("ratio           : %5.1f %% of the plain upload's throughput\n", 100.0 * plain / ours);
    server.kill();
    server.waitForFinished(5000);
    return 0;
}
