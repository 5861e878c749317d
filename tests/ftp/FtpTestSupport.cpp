#include "FtpTestSupport.h"

#include <QEventLoop>
#include <QFile>
#include <QTimer>

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

QByteArray patternBytes(int size, quint32 seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    quint32 x = seed * 2654435761u + 1;
    for (int i = 0; i < size; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        bytes[i] = char(x);
    }
    return bytes;
}

QByteArray readWholeFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void FtpTest::startHost(const FtpServerProcess::Options& options)
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

QString FtpTest::localFile(const QString& name, const QByteArray& content)
{
    QFile f(localPath(name));
    if (!f.open(QIODevice::WriteOnly) || f.write(content) != content.size())
        ADD_FAILURE() << "cannot write " << qPrintable(f.fileName());
    return f.fileName();
}
