// FTP upload with an event loop.
//
// The FTP functions only start a list of FTP commands and return 0 at once. Called from a Qt
// application's main thread, as here, the list runs in that thread's event loop: it must run
// the loop until the upload is done, and gets the FTP work among its own events. (A program
// without a QCoreApplication, C or Python, needs no loop: the library runs the list on a thread
// of its own.) getFtpUploadFileProgress reads 100 when a step is done; a failure leaves the
// progress below 100 and goes to the error callback, and every wait here is bounded.
//
// Usage: ftp_upload SIMULATOR-PROGRAM PYTHON FTP-SERVER-SCRIPT
// (it starts an FTP server and the simulator on one loopback address; exit status 77 when the
// FTP server cannot run on this machine)
#include "AsyncCommModule.h" // declares ::connect (the library's): write QObject::connect for Qt's
#include "example_ftp_server.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

#include <cstdio>

namespace {

// Runs this thread's event loop until the target's newest FTP list reaches 100 %, at most maxMs.
bool runUntilDone(int cnc, int maxMs)
{
    QEventLoop loop;
    QElapsedTimer clock;
    clock.start();
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (getFtpUploadFileProgress(cnc) >= 100.0 || clock.elapsed() > maxMs)
            loop.quit();
    });
    poll.start(50);
    loop.exec(); // the FTP commands advance while this loop runs
    return getFtpUploadFileProgress(cnc) >= 100.0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ExampleFtpServer server; // harness
    const ExampleFtpServer::Outcome started =
        argc > 3 ? server.start(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]), argv[1])
                 : ExampleFtpServer::Failed;
    if (started == ExampleFtpServer::CannotRunHere)
        return 77;
    if (started != ExampleFtpServer::Started) {
        std::fprintf(stderr, "usage: ftp_upload SIMULATOR-PROGRAM PYTHON FTP-SERVER-SCRIPT\n");
        return 2;
    }
    QByteArray address = server.address();

    const int cnc = 1;
    if (!addTargetCnc(cnc, 1, address.data(), 0) || !::connect(cnc))
        return 1;
    // An empty hostIp: the FTP server at the address the target is connected to.
    char sameHost[] = "";
    bool ok = true;

    // Channel 1's program folder on the controller, one level at a time: ftpMkdir makes one
    // folder, whose parent must exist.
    for (const char* folder : {"/veko", "/veko/usr", "/veko/usr/sys0001", "/veko/usr/sys0001/program"}) {
        QByteArray path(folder);
        ok = ok && ftpMkdir(path.data(), sameHost, cnc) == 0 && runUntilDone(cnc, 10000);
        std::printf("ftpMkdir %-28s progress %3.0f\n", folder, getFtpUploadFileProgress(cnc));
    }

    // A program file to send.
    const QByteArray text = "%\nO2001\nG00 X0 Y0\nG01 X100 F500\nM30\n%\n";
    QTemporaryDir work;
    QByteArray local = QFile::encodeName(work.filePath(QStringLiteral("O2001.nc")));
    QFile file(QFile::decodeName(local));
    ok = ok && file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
    file.close();

    // Type 1: a program file, into /veko/usr/sys0001/program/ under its own name. Several files
    // may go at once, one path per line.
    ok = ok && ftpUploadFile(1, 1, local.data(), sameHost, cnc) == 0;
    ok = ok && runUntilDone(cnc, 20000);
    std::printf("ftpUploadFile O2001.nc             progress %3.0f\n", getFtpUploadFileProgress(cnc));

    // The harness's look at the server's side: the file arrived whole.
    QFile arrived(server.rootHome() + QStringLiteral("/veko/usr/sys0001/program/O2001.nc"));
    ok = ok && arrived.open(QIODevice::ReadOnly) && arrived.readAll() == text;

    disconnect(cnc);
    removeTargetCnc(cnc);
    std::printf("%s\n", ok ? "ftp_upload: ok" : "ftp_upload: FAILED");
    return ok ? 0 : 1;
}
