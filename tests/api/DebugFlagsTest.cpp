// The library's lines go to the "acm" logging category, which an application can switch off;
// getErrorDeb sends them, for the whole process, to the hourly file as well.
#include "ApiTestSupport.h"
#include "CommLog.h"

#include <QDir>
#include <QFile>
#include <QLoggingCategory>
#include <QTemporaryDir>

#include <mutex>
#include <string>
#include <vector>

namespace {
std::mutex seenMutex;
std::vector<std::string> categories;

void recordLine(QtMsgType, const QMessageLogContext& context, const QString&)
{
    std::lock_guard<std::mutex> lock(seenMutex);
    categories.emplace_back(context.category ? context.category : "");
}

std::vector<std::string> takeCategories()
{
    std::lock_guard<std::mutex> lock(seenMutex);
    return std::move(categories);
}

TEST(LogCategory, LinesCarryTheCategoryAndCanBeSwitchedOff)
{
    const QtMessageHandler previous = qInstallMessageHandler(recordLine);
    ASSERT_TRUE(addTargetCnc(41, 1, nullptr, 0));
    EXPECT_EQ(jogMotionV_Stop(1, 3, 41), 7); // not connected: the client and the export both log
    const std::vector<std::string> on = takeCategories();
    EXPECT_GE(on.size(), 2u);
    EXPECT_EQ(on, std::vector<std::string>(on.size(), "acm"));
    QLoggingCategory::setFilterRules(QStringLiteral("acm.debug=false"));
    EXPECT_EQ(jogMotionV_Stop(1, 3, 41), 7);
    EXPECT_EQ(reset(1, 999), 1);
    EXPECT_TRUE(takeCategories().empty());
    QLoggingCategory::setFilterRules(QString());
    qInstallMessageHandler(previous);
    removeTargetCnc(41);
}

TEST(DebugFlags, NonZeroFlagsSendEveryLineToTheHourlyFile)
{
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const QString old = QDir::currentPath();
    QDir::setCurrent(tmp.path());
    CommLog::setClockForTesting([] { return QDateTime(QDate(2021, 5, 6), QTime(7, 8, 9)); });
    char ip[] = "127.1.2.3";
    ASSERT_TRUE(addTargetCnc(41, 1, ip, 0)) << "the clients make the logs folder";
    ASSERT_TRUE(addTargetCnc(42, 1, ip, 0));
    EXPECT_EQ(getErrorDeb(1, 41), 0);
    EXPECT_EQ(reset(1, 42), 7) << "another target's line goes to the same file";
    EXPECT_EQ(getErrorDeb(0, 42), 0) << "and any target switches it off";
    EXPECT_EQ(reset(2, 42), 7);
    removeTargetCnc(41);
    removeTargetCnc(42);
    CommLog::setClockForTesting({});
    QFile file("logs/CommLog_2021-05-06-07.txt");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    EXPECT_TRUE(text.contains("2021-05-06 07:08:09.000 Thu: long int reset(long int, int)  channel= 1  cncID= 42  out= 7\r\n"))
        << text.constData();
    EXPECT_FALSE(text.contains("channel= 2"));
    QDir::setCurrent(old);
}
}
