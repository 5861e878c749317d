// The hourly log file (switched on by getErrorDeb for the whole process): a line of the library
// goes to the file of its hour, whole even from many threads, as written (a '%' too); without
// the logs folder the failure is reported once on standard error.
#include "AsyncCommModule.h"
#include "CommLog.h"
#include "LogCategory.h"
#include "TestSupport.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QLoggingCategory>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

QByteArray readLog(const QString& name)
{
    QFile f(QDir::currentPath() + "/logs/" + name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Runs body with a fresh temporary directory as the working directory and the clock at t.
template <class Body>
void inScratchDirectory(bool withLogsFolder, QDateTime& t, Body body)
{
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const QString old = QDir::currentPath();
    QDir::setCurrent(tmp.path());
    if (withLogsFolder)
        QDir().mkpath("logs");
    CommLog::setClockForTesting([&t] { return t; });
    CommLog::setEnabled(true);
    body();
    CommLog::setEnabled(false);
    CommLog::setClockForTesting({});
    QDir::setCurrent(old);
}

TEST(CommLog, HourBoundarySplitsFilesAndKeepsPercentOne)
{
    QDateTime t(QDate(2018, 8, 22), QTime(17, 59, 59, 999));
    inScratchDirectory(true, t, [&t] {
        qCDebug(acmLog).noquote() << "before %1";
        t = QDateTime(QDate(2018, 8, 22), QTime(18, 0, 0, 0));
        qCDebug(acmLog).noquote() << "after";
        CommLog::setEnabled(false);
        qCDebug(acmLog).noquote() << "not in file";
        EXPECT_EQ(readLog("CommLog_2018-08-22-17.txt"), QByteArray("2018-08-22 17:59:59.999 Wed: before %1\r\n"));
        EXPECT_EQ(readLog("CommLog_2018-08-22-18.txt"), QByteArray("2018-08-22 18:00:00.000 Wed: after\r\n"));
    });
}

// The application's standard output stays its own.
TEST(CommLog, MissingFolderIsReportedOnceOnStandardError)
{
    QDateTime t(QDate(2020, 1, 2), QTime(3, 4, 5));
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    inScratchDirectory(false, t, [] {
        qCDebug(acmLog) << "lost line";
        qCDebug(acmLog) << "lost line";
        EXPECT_FALSE(QDir("logs").exists());
        CommLog::setEnabled(false);
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
        const std::string path = (QDir::currentPath() + "/logs/CommLog_2020-01-02-03.txt").toStdString();
        EXPECT_NE(err.find(path), std::string::npos) << err;
        EXPECT_EQ(err.find('\n'), err.size() - 1) << err;
    });
}

TEST(CommLog, LinesFromManyThreadsStayWhole)
{
    QDateTime t(QDate(2020, 1, 2), QTime(3, 4, 5));
    inScratchDirectory(true, t, [] {
        std::vector<std::thread> threads;
        for (int n = 0; n < 4; ++n)
            threads.emplace_back([n] {
                for (int i = 0; i < 50; ++i)
                    qCDebug(acmLog).noquote() << QStringLiteral("thread %1 line %2 ").arg(n).arg(i) + QString(40, 'x');
            });
        for (std::thread& th : threads)
            th.join();
        const QList<QByteArray> lines = readLog("CommLog_2020-01-02-03.txt").split('\n');
        ASSERT_EQ(lines.size(), 201) << "200 lines and the empty rest after the last line feed";
        for (int i = 0; i < 200; ++i)
            EXPECT_TRUE(lines[i].startsWith("2020-01-02 03:04:05.000 Thu: thread ") && lines[i].endsWith(QByteArray(40, 'x') + "\r"))
                << lines[i].constData();
    });
}

TEST(CommLog, DebugFlagsOfAnyTargetSwitchTheFileForAll)
{
    QDateTime t(QDate(2021, 5, 6), QTime(7, 8, 9));
    inScratchDirectory(false, t, [] {
        CommLog::setEnabled(false);
        char ip[] = "127.1.2.3";
        ASSERT_TRUE(addTargetCnc(41, 1, ip, 0)) << "the clients make the logs folder";
        ASSERT_TRUE(addTargetCnc(42, 1, ip, 0));
        EXPECT_EQ(getErrorDeb(1, 41), 0);
        EXPECT_EQ(reset(1, 42), 7) << "another target's line goes to the same file";
        EXPECT_EQ(getErrorDeb(0, 42), 0) << "and any target switches it off";
        EXPECT_EQ(reset(2, 42), 7);
        removeTargetCnc(41);
        removeTargetCnc(42);
        const QByteArray text = readLog("CommLog_2021-05-06-07.txt");
        EXPECT_TRUE(text.contains("2021-05-06 07:08:09.000 Thu: long int reset(long int, int)  channel= 1  cncID= 42  out= 7\r\n"))
            << text.constData();
        EXPECT_FALSE(text.contains("channel= 2"));
    });
}

// The library's lines go under "acm": its filter rule silences every one of them, the default
// category's rule none.
TEST(LogCategory, TheLibrarysLinesAreSwitchedOffByTheirCategory)
{
    ASSERT_TRUE(addTargetCnc(41, 1, nullptr, 0));
    for (const bool on : {true, false}) {
        QLoggingCategory::setFilterRules(QString::fromLatin1(on ? "default.debug=false" : "acm.debug=false"));
        LogCapture log;
        EXPECT_EQ(jogMotionV_Stop(1, 3, 41), 7); // not connected: the client and the export both log
        EXPECT_EQ(reset(1, 999), 1);
        EXPECT_EQ(log.lines().size(), on ? 3u : 0u) << on;
    }
    QLoggingCategory::setFilterRules(QString());
    removeTargetCnc(41);
}

} // namespace
