#include "CommLog.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

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

} // namespace
