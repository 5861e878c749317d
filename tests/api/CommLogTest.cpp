#include "CommLog.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

QByteArray readLog(const QString& name)
{
    QFile f(QDir::currentPath() + "/logs/" + name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TEST(CommLog, HourBoundarySplitsFilesAndKeepsPercentOne)
{
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const QString old = QDir::currentPath();
    QDir::setCurrent(tmp.path());
    QDir().mkpath("logs");
    QDateTime t(QDate(2018, 8, 22), QTime(17, 59, 59, 999));
    CommLog::setClockForTesting([&t] { return t; });
    CommLog::setEnabled(true);
    qDebug().noquote() << "before %1";
    t = QDateTime(QDate(2018, 8, 22), QTime(18, 0, 0, 0));
    qDebug().noquote() << "after";
    CommLog::setEnabled(false);
    qDebug().noquote() << "not in file";
    CommLog::setClockForTesting({});
    EXPECT_EQ(readLog("CommLog_2018-08-22-17.txt"), QByteArray("2018-08-22 17:59:59.999 Wed: before %1\r\n"));
    EXPECT_EQ(readLog("CommLog_2018-08-22-18.txt"), QByteArray("2018-08-22 18:00:00.000 Wed: after\r\n"));
    QDir::setCurrent(old);
}

// Runs body with a fresh temporary directory as the working directory.
template <class Body>
void inScratchDirectory(bool withLogsFolder, Body body)
{
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const QString old = QDir::currentPath();
    QDir::setCurrent(tmp.path());
    if (withLogsFolder)
        QDir().mkpath("logs");
    body();
    CommLog::setEnabled(false);
    CommLog::setClockForTesting({});
    QDir::setCurrent(old);
}

TEST(CommLog, MissingFolderPrintsThePathInstead)
{
    inScratchDirectory(false, [] {
        CommLog::setClockForTesting([] { return QDateTime(QDate(2020, 1, 2), QTime(3, 4, 5)); });
        testing::internal::CaptureStdout();
        CommLog::setEnabled(true);
        qDebug() << "lost line";
        CommLog::setEnabled(false);
        const std::string out = testing::internal::GetCapturedStdout();
        EXPECT_EQ(out, (QDir::currentPath() + "/logs/CommLog_2020-01-02-03.txt\n").toStdString());
        EXPECT_FALSE(QDir("logs").exists());
    });
}

TEST(CommLog, LinesFromManyThreadsStayWhole)
{
    inScratchDirectory(true, [] {
        CommLog::setClockForTesting([] { return QDateTime(QDate(2020, 1, 2), QTime(3, 4, 5)); });
        CommLog::setEnabled(true);
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t)
            threads.emplace_back([t] {
                for (int i = 0; i < 50; ++i)
                    qDebug().noquote() << QStringLiteral("thread %1 line %2 ").arg(t).arg(i) + QString(40, 'x');
            });
        for (std::thread& th : threads)
            th.join();
        CommLog::setEnabled(false);
        const QList<QByteArray> lines = readLog("CommLog_2020-01-02-03.txt").split('\n');
        ASSERT_EQ(lines.size(), 201) << "200 lines and the empty rest after the last line feed";
        for (int i = 0; i < 200; ++i) {
            EXPECT_TRUE(lines[i].startsWith("2020-01-02 03:04:05.000 Thu: thread ")) << lines[i].constData();
            EXPECT_TRUE(lines[i].endsWith(QByteArray(40, 'x') + "\r")) << lines[i].constData();
        }
    });
}

} // namespace
