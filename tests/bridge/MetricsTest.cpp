// The bridge's /metrics as Prometheus's own tools read it.
#include "BridgeFixture.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

TEST_F(BridgeTest, MetricsPassPromtoolAndAPrometheusServerScrapesThem)
{
    ASSERT_TRUE(startBroker());
    ASSERT_FALSE(startMachine().isEmpty());
    ASSERT_TRUE(startBridge("[machine m]\naddress = " + machineAddresses[0].toUtf8() +
                            "\nvariable.v = 2000010 every 50ms\nbit.b = 1 0 3 every 50ms\n"
                            "[machine off]\naddress = 127.0.0.254\nvariable.v = 2000010\n"));
    ASSERT_TRUE(waitUntil([&] { return metric("cnc_bridge_requests_total{machine=\"m\",result=\"0\"}") >= 3; }, 15000));
    const QByteArray exposition = scrape();
    EXPECT_GE(metric("cnc_bridge_request_duration_seconds_count{machine=\"m\"}"), 3);
    EXPECT_EQ(metric("cnc_bridge_machine_up{machine=\"off\"}"), 0);
    QProcess promtool;
    promtool.setProcessChannelMode(QProcess::MergedChannels);
    promtool.start("promtool", {"check", "metrics"});
    promtool.write(exposition);
    promtool.closeWriteChannel();
    ASSERT_TRUE(promtool.waitForFinished(30000));
    EXPECT_EQ(promtool.exitCode(), 0) << promtool.readAll().constData() << exposition.constData();

    if (!QFileInfo::exists("/usr/bin/prometheus"))
        GTEST_SKIP() << "prometheus is not installed";
    // On the machine's address, which this test process holds alone.
    const int prometheusPort = 9090;
    const QString web = QStringLiteral("%1:%2").arg(machineAddresses[0]).arg(prometheusPort);
    const QString config = writeFile("prometheus.yml", "global:\n  scrape_interval: 100ms\nscrape_configs:\n"
                                                       "  - job_name: bridge\n    static_configs:\n"
                                                       "      - targets: ['" +
                                                           QStringLiteral("%1:%2").arg(host).arg(metricsPort).toUtf8() +
                                                           "']\n");
    Program prometheus;
    ASSERT_TRUE(prometheus.start("/usr/bin/prometheus",
                                 {"--config.file=" + config, "--web.listen-address=" + web,
                                  "--storage.tsdb.path=" + dir.filePath("tsdb")},
                                 "Server is ready to receive web requests"))
        << prometheus.output().constData();
    // Ask Prometheus's query API until the bridge's series is there (its discovery hands the
    // target to the scraper after 5 s).
    const auto query = [&] {
        const QByteArray body = httpGet(machineAddresses[0], prometheusPort, "/api/v1/query?query=cnc_bridge_machine_up");
        return QJsonDocument::fromJson(body).object()["data"].toObject()["result"].toArray();
    };
    QJsonArray series;
    EXPECT_TRUE(waitUntil([&] { return (series = query()).size() == 2; }, 30000)) << prometheus.output().constData();
    for (const QJsonValue& one : series)
        EXPECT_EQ(one["value"][1].toString(), one["metric"]["machine"] == "m" ? "1" : "0");
}
