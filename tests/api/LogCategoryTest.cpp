// The library's lines go to the "acm" logging category: an application can switch them off or
// route them by category, and their text does not change.
#include "ApiTestSupport.h"

#include <QLoggingCategory>

#include <mutex>
#include <string>
#include <vector>

namespace {

std::mutex seenMutex;
std::vector<std::pair<std::string, std::string>> seen; // category, text

void recordLine(QtMsgType, const QMessageLogContext& context, const QString& text)
{
    std::lock_guard<std::mutex> lock(seenMutex);
    seen.emplace_back(context.category ? context.category : "", text.toStdString());
}

class LogCategoryTest : public ApiFixture
{
protected:
    void SetUp() override
    {
        ApiFixture::SetUp();
        previous = qInstallMessageHandler(recordLine);
        std::lock_guard<std::mutex> lock(seenMutex);
        seen.clear();
    }
    void TearDown() override
    {
        QLoggingCategory::setFilterRules(QString());
        qInstallMessageHandler(previous);
        ApiFixture::TearDown();
    }
    std::vector<std::pair<std::string, std::string>> lines()
    {
        std::lock_guard<std::mutex> lock(seenMutex);
        return seen;
    }
    QtMessageHandler previous = nullptr;
};

TEST_F(LogCategoryTest, LinesCarryTheCategoryAndCanBeSwitchedOff)
{
    ASSERT_TRUE(addTargetCnc(kCnc, 1, nullptr, 0));
    EXPECT_EQ(jogMotionV_Stop(1, 3, kCnc), 7); // not connected: the client and the export both log
    const auto on = lines();
    ASSERT_GE(on.size(), 2u);
    for (const auto& line : on)
        EXPECT_EQ(line.first, "acm") << line.second;
    EXPECT_EQ(on.back().second,
              "long int jogMotionV_Stop(long int, long int, int)  tmpChanne= 1  cncID= 7  tmpAxis= 3 cncID= 7 out= 7");

    QLoggingCategory::setFilterRules(QStringLiteral("acm.debug=false"));
    {
        std::lock_guard<std::mutex> lock(seenMutex);
        seen.clear();
    }
    EXPECT_EQ(jogMotionV_Stop(1, 3, kCnc), 7);
    EXPECT_EQ(reset(1, 999), 1);
    EXPECT_TRUE(lines().empty());
}

} // namespace
