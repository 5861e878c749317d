// Every exported function, called through the C interface against the simulator: once as an
// application would, and once with bad input (unknown target, bad channel, null pointers, oversize
// counts and strings), where it must give its documented result and never crash. Each table must
// name every function of the version script.
#include "ApiTestSupport.h"
#include "ControllerFiles.h"
#include "ExportNames.h"
#include "UdpAddressSender.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QUdpSocket>

#include <cmath>
#include <fstream>
#include <functional>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

std::set<std::string> commandExportNames();

namespace {

constexpr int kCnc = ApiFixture::kCnc;
constexpr int kUnknown = 4242;
constexpr int kOther = 43;

struct Row
{
    const char* name;
    std::function<void()> check;
};

std::set<std::string> exportedNames()
{
    const std::vector<std::string> names = versionScriptNames(ACM_VERSION_SCRIPT);
    return {names.begin(), names.end()};
}

void expectEveryExportNamed(const std::vector<Row>& rows, std::set<std::string> named = {})
{
    for (const Row& r : rows)
        named.insert(r.name);
    EXPECT_EQ(named, exportedNames());
}

CncLong o1, o2, o3;
CncLong words[4] = {1, 2, 3, 4};
CncLong addresses[2] = {1000070, 1000071};
CncLong values[2] = {70, 71};
char text[1100];
AcmRemoteBuffer* buffer = nullptr;

class ExportTableTest : public ApiFixture
{
protected:
    void SetUp() override
    {
        ApiFixture::SetUp();
        addAndConnect();
        o1 = o2 = o3 = -9;
        std::fill(std::begin(text), std::end(text), 'x');
    }
    void TearDown() override
    {
        UdpAddressSender::clearRedirect();
        if (buffer)
            bufClose(buffer);
        buffer = nullptr;
        ApiFixture::TearDown();
    }
};

TEST_F(ExportTableTest, EveryExportAnswersAsDocumented)
{
    QByteArray ip = address();
    char file[] = "O5000";
    char program[] = "G01 X10\n";
    const quint16 udpPort = quint16(45000 + getpid() % 4000);
    ASSERT_TRUE(sim->startAddressService(udpPort));
    UdpAddressSender::redirectForTesting(QHostAddress(sim->address()), udpPort);
    sim->files()->setFileInfo("/home/root/veko/usr/sys0001/program/O5000", "O5000 120");
    sim->files()->setErrorFile(1, false, "E1001 overtravel");
    sim->files()->setErrorText(1, "axis 1 overtravel");
    const std::vector<Row> rows = {
        {"addTargetCnc", [&] { EXPECT_TRUE(addTargetCnc(kOther, 1, ip.data(), 0)); EXPECT_FALSE(addTargetCnc(kOther, 1, ip.data(), 0)); }},
        {"connect", [] { EXPECT_TRUE(connect(kOther)); }},
        {"getTcpConnectFlag", [] { EXPECT_TRUE(getTcpConnectFlag(kOther)); }},
        {"disconnect", [] { EXPECT_TRUE(disconnect(kOther)); EXPECT_FALSE(getTcpConnectFlag(kOther)); }},
        {"removeTargetCnc", [] { EXPECT_TRUE(removeTargetCnc(kOther)); EXPECT_FALSE(removeTargetCnc(kOther)); }},
        {"setErrCallbackFunc", [] { EXPECT_TRUE(setErrCallbackFunc(recordError, kCnc)); }},
        {"getErrorDeb", [] { EXPECT_EQ(getErrorDeb(0, kCnc), 0); }},
        {"registerVars", [] { EXPECT_EQ(registerVars(addresses, 2, kCnc), 0); }},
        {"removeVars", [] { EXPECT_EQ(removeVars(addresses, 2, kCnc), 0); }},
        {"clearVars", [] { EXPECT_EQ(clearVars(kCnc), 0); }},
        {"writeVars", [&] { EXPECT_EQ(writeVars(addresses, 2, values, kCnc), 0); EXPECT_EQ(sim->variable(1000071), 71); }},
        {"readVars", [] { CncLong back[2] = {}; EXPECT_EQ(readVars(addresses, 2, back, kCnc), 0); EXPECT_EQ(back[1], 71); }},
        {"registerBits", [] { EXPECT_EQ(registerBits(1, 0, words, 2, kCnc), 6) << "needs an asynchronous client"; }},
        {"removeBits", [] { EXPECT_EQ(removeBits(1, 0, words, 2, kCnc), 6); }},
        {"readBits", [] { CncLong bits[2] = {-1, -1}; EXPECT_EQ(readBits(1, 0, words, 2, bits, kCnc), 0); EXPECT_EQ(bits[0], 0); }},
        {"getRuningPrg", [] { EXPECT_STREQ(getRuningPrg(3, kCnc), "O0003"); }},
        {"setCncOBit", [] { EXPECT_EQ(setCncOBit(1, 6, 1, 0, kCnc), 0); CncLong v = 0; getOBit(1, 6, &v, kCnc); EXPECT_EQ(v, 1); }},
        {"udpSetCncIp", [&] { char a[] = "10.1.2.3"; EXPECT_EQ(udpSetCncIp(a, kCnc), 0) << "needs no command connection"; EXPECT_TRUE(waitUntil([&] { return sim->receivedAddressTexts().value(0) == "10.1.2.3"; }, 2000)); }},
        {"setTransFileType", [&] { EXPECT_EQ(setTransFileType(1, 1, file, kCnc), 0); }},
        {"getTransFileState", [&] { EXPECT_EQ(getTransFileState(1, 1, file, kCnc), 0); }},
        {"overwrite", [&] { EXPECT_EQ(overwrite(program, 1, kCnc), 0); }},
        {"append", [&] { EXPECT_EQ(append(program, 1, kCnc), 0); }},
        {"fileEnd", [&] { EXPECT_EQ(fileEnd(1, kCnc), 0); EXPECT_EQ(sim->programText(1, "O5000"), QByteArray(program).repeated(2)); }},
        {"uploadFile", [&] { char f2[] = "O5001"; EXPECT_EQ(uploadFile(1, 2, f2, program, kCnc), 0); EXPECT_EQ(sim->programText(2, "O5001"), QByteArray(program)); }},
        {"cycStart", [&] { EXPECT_EQ(cycStart(1, file, kCnc), 0); EXPECT_EQ(prgReset(1, kCnc), 0); }},
        {"bufOpen", [&] { buffer = bufOpen(ip.data(), 1, 3); ASSERT_NE(buffer, nullptr); EXPECT_TRUE(waitUntil([] { CncLong s = getBufState(buffer); return s == 0 || s == 5; }, 3000)); }},
        {"getBufState", [] { EXPECT_EQ(getBufState(buffer), 5); }},
        {"getBufValidCnt", [] { EXPECT_EQ(getBufValidCnt(buffer), 1000 * 480); }},
        {"bufWrite", [&] { EXPECT_EQ(bufWrite(buffer, program), 1); EXPECT_TRUE(waitUntil([] { return getBufState(buffer) == 5; }, 3000)); }},
        {"bufClear", [] { EXPECT_EQ(bufClear(buffer), 1); }},
        {"getBufStateInf", [] { EXPECT_NE(getBufStateInf(buffer), nullptr); }},
        {"bufClose", [] { EXPECT_EQ(bufClose(buffer), 1); buffer = nullptr; }},
        {"getCncFileInf", [&] { char info[1024]; char name[] = "O5000"; EXPECT_EQ(getCncFileInf(1, 1, name, info, kCnc), 0); EXPECT_STREQ(info, "O5000 120"); }},
        {"writeCncFile", [&] { char name[] = "table.bin"; char data[] = "0123456789"; EXPECT_EQ(writeCncFile(1, name, data, kCnc), 0); EXPECT_EQ(sim->files()->binaryFile("table.bin"), QByteArray("0123456789")); }},
        {"getCncCurrentError", [] { const char* e = getCncCurrentError(10, kCnc); ASSERT_NE(e, nullptr); EXPECT_STREQ(e, "0E1001 overtravel"); }},
        {"getCurErrString", [] { char t[1024]; EXPECT_EQ(getCurErrString(1, 0, t, kCnc), 0); EXPECT_STREQ(t, "axis 1 overtravel"); }},
        {"ftpUploadFile", [] { char p[] = "/tmp/none.nc"; char h[] = "127.0.0.1"; EXPECT_EQ(ftpUploadFile(1, 1, p, h, kCnc), 0) << "started; it runs in an event loop"; }},
        {"ftpUploadFileDes", [] { char p[] = "/tmp/none.nc"; char d[] = "/x/"; EXPECT_EQ(ftpUploadFileDes(p, d, nullptr, kCnc), 0); }},
        {"ftpUpdateSystem", [] { char p[] = "/tmp/none.bin"; EXPECT_EQ(ftpUpdateSystem(p, nullptr, kCnc), 0); }},
        {"ftpMkdir", [] { char d[] = "/x/y"; EXPECT_EQ(ftpMkdir(d, nullptr, kCnc), 0); }},
        {"getFtpUploadFileProgress", [] { EXPECT_EQ(getFtpUploadFileProgress(kCnc), 0.0) << "nothing ran without an event loop"; }},
    };
    // The command exports answer in ExportCommandTest's table.
    expectEveryExportNamed(rows, commandExportNames());
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        r.check();
    }
}

// Unknown targets, channels outside 1..channel count, null pointers, counts and texts too large.
TEST_F(ExportTableTest, BadInputGivesTheDocumentedResult)
{
    char name[] = "O1";
    std::string huge(200000, 'N');
    char* longText = &huge[0];
    CncLong* none = nullptr;
    const std::vector<Row> rows = {
        {"addTargetCnc", [] { EXPECT_FALSE(addTargetCnc(kCnc, 2, nullptr, 0)) << "taken"; EXPECT_FALSE(addTargetCnc(kOther, 100, nullptr, 0)) << "more channels than a controller has"; }},
        {"removeTargetCnc", [] { EXPECT_FALSE(removeTargetCnc(kUnknown)); }},
        {"connect", [] { EXPECT_FALSE(connect(kUnknown)); }},
        {"disconnect", [] { EXPECT_FALSE(disconnect(kUnknown)); }},
        {"getTcpConnectFlag", [] { EXPECT_FALSE(getTcpConnectFlag(kUnknown)); }},
        {"setErrCallbackFunc", [] { EXPECT_FALSE(setErrCallbackFunc(recordError, kUnknown)); EXPECT_TRUE(setErrCallbackFunc(nullptr, kCnc)) << "null switches it off"; }},
        {"getErrorDeb", [] { EXPECT_EQ(getErrorDeb(1, kUnknown), 1); }},
        {"registerVars", [&] { EXPECT_EQ(registerVars(none, 2, kCnc), 1); EXPECT_EQ(registerVars(addresses, -1, kCnc), 1); EXPECT_EQ(registerVars(addresses, 2, kUnknown), 1); }},
        {"removeVars", [&] { EXPECT_EQ(removeVars(none, 2, kCnc), 0); EXPECT_EQ(removeVars(addresses, 2, kUnknown), 1); }},
        {"clearVars", [] { EXPECT_EQ(clearVars(kUnknown), 1); }},
        {"readVars", [&] { EXPECT_EQ(readVars(addresses, 2, none, kCnc), 1); EXPECT_EQ(readVars(addresses, 200000, values, kCnc), 1); EXPECT_EQ(readVars(addresses, 2, values, kUnknown), 1); }},
        {"writeVars", [&] { EXPECT_EQ(writeVars(none, 2, values, kCnc), 1); EXPECT_EQ(writeVars(addresses, 0, values, kCnc), 1); EXPECT_EQ(writeVars(addresses, 2, values, kUnknown), 1); }},
        {"registerBits", [&] { EXPECT_EQ(registerBits(1, 0, words, 1, kUnknown), 1); }},
        {"removeBits", [&] { EXPECT_EQ(removeBits(1, 0, words, 1, kUnknown), 1); }},
        {"readBits", [&] { EXPECT_EQ(readBits(1, 0, none, 2, values, kCnc), 1); EXPECT_EQ(readBits(1, 7, words, 2, values, kCnc), 1); EXPECT_EQ(readBits(100, 0, words, 2, values, kCnc), 1); EXPECT_EQ(readBits(1, 0, words, 2, values, kUnknown), 1); }},
        {"jogMotionP_IsStop", [&] { EXPECT_EQ(jogMotionP_IsStop(1, 1, 0, none, kCnc), 0) << "a null output is skipped"; }},
        {"jogMotionP_AxesIsStop", [&] { EXPECT_EQ(jogMotionP_AxesIsStop(1, 0, 1, 0, none, none, kCnc), 0); }},
        {"homeRunAxes", [&] { EXPECT_EQ(homeRunAxes(1, 0, 1, none, none, kCnc), 0); }},
        {"reset", [] { EXPECT_EQ(reset(100, kCnc), 1) << "the target-level reset checks 1..99 itself"; EXPECT_EQ(reset(9, kCnc), 0); EXPECT_EQ(reset(1, kUnknown), 1); }},
        {"getRuningPrg", [] { EXPECT_EQ(getRuningPrg(1, kUnknown), nullptr); EXPECT_STREQ(getRuningPrg(99, kCnc), ""); }},
        {"getIBit", [&] { EXPECT_EQ(getIBit(1, 1, none, kCnc), 0); }},
        {"getIbits", [&] { EXPECT_EQ(getIbits(1, none, 2, &o1, &o2, kCnc), 1); EXPECT_EQ(getIbits(1, words, 122, &o1, &o2, kCnc), 1); EXPECT_EQ(getIbits(1, words, -1, &o1, &o2, kCnc), 1); }},
        {"setPlcObits", [&] { EXPECT_EQ(setPlcObits(1, words, none, 2, kCnc), 1); EXPECT_EQ(setPlcObits(1, words, words, 33, kCnc), 1); }},
        {"setCncObits", [&] { EXPECT_EQ(setCncObits(1, none, words, 2, 0, kCnc), 1); EXPECT_EQ(setCncObits(1, words, words, 33, 0, kCnc), 1); }},
        {"getAxesCoord", [&] { EXPECT_EQ(getAxesCoord(1, 0, 3, 0, 2, none, kCnc), 1); EXPECT_EQ(getAxesCoord(1, 0, 3, 0, -5, words, kCnc), 1); }},
        {"alarmRead", [&] { EXPECT_EQ(alarmRead(1, none, none, none, kCnc), 0); EXPECT_EQ(alarmRead(9, &o1, &o2, &o3, kCnc), 0) << "the target-level client: no channel check"; EXPECT_EQ(alarmRead(1, &o1, &o2, &o3, kUnknown), 1); }},
        {"udpSetCncIp", [&] { EXPECT_EQ(udpSetCncIp(nullptr, kCnc), 1); EXPECT_EQ(udpSetCncIp(longText, kCnc), 1) << "an address text is short"; char a[] = "10.0.0.1"; EXPECT_EQ(udpSetCncIp(a, kUnknown), 1); }},
        {"setTransFileType", [&] { EXPECT_EQ(setTransFileType(1, 1, nullptr, kCnc), 1); EXPECT_EQ(setTransFileType(3, 1, name, kCnc), 1); EXPECT_EQ(setTransFileType(1, 4, name, kCnc), 1); }},
        {"getTransFileState", [&] { EXPECT_EQ(getTransFileState(1, 1, nullptr, kCnc), 1); EXPECT_EQ(getTransFileState(1, 0, name, kCnc), 1); }},
        {"overwrite", [&] { EXPECT_EQ(overwrite(nullptr, 1, kCnc), 1); EXPECT_EQ(overwrite(name, 4, kCnc), 1); }},
        {"append", [&] { EXPECT_EQ(append(nullptr, 1, kCnc), 1); EXPECT_EQ(append(name, 4, kCnc), 1); }},
        {"fileEnd", [] { EXPECT_EQ(fileEnd(4, kCnc), 1); EXPECT_EQ(fileEnd(1, kUnknown), 1); }},
        {"uploadFile", [&] { char slash[] = "a/b"; EXPECT_EQ(uploadFile(1, 1, slash, name, kCnc), 1); EXPECT_EQ(uploadFile(1, 1, nullptr, name, kCnc), 1); EXPECT_EQ(uploadFile(1, 4, name, name, kCnc), 1); }},
        {"cycStart", [&] { EXPECT_EQ(cycStart(5, name, kCnc), 103) << "the target-level client takes any channel 1..99: no such program there"; EXPECT_EQ(cycStart(100, name, kCnc), 1); EXPECT_EQ(cycStart(1, nullptr, kCnc), 1); EXPECT_EQ(cycStart(1, name, kUnknown), 1); }},
        {"bufOpen", [&] { char a[] = "127.0.0.1"; EXPECT_EQ(bufOpen(nullptr, 1, 1), nullptr); EXPECT_EQ(bufOpen(a, 2, 1), nullptr); EXPECT_EQ(bufOpen(a, 1, 0), nullptr); EXPECT_EQ(bufOpen(a, 1, 100), nullptr); }},
        {"bufWrite", [&] { EXPECT_EQ(bufWrite(nullptr, name), 0); }},
        {"bufClear", [] { EXPECT_EQ(bufClear(nullptr), 0); }},
        {"bufClose", [] { EXPECT_EQ(bufClose(nullptr), 0); }},
        {"getBufValidCnt", [] { EXPECT_EQ(getBufValidCnt(nullptr), 0); }},
        {"getBufState", [] { EXPECT_EQ(getBufState(nullptr), 4); }},
        {"getBufStateInf", [] { EXPECT_EQ(getBufStateInf(nullptr), nullptr); }},
        {"getCncFileInf", [&] { char info[1024]; EXPECT_EQ(getCncFileInf(2, 1, name, info, kCnc), 1); EXPECT_EQ(getCncFileInf(1, 1, nullptr, info, kCnc), 1); EXPECT_EQ(getCncFileInf(1, 1, name, nullptr, kCnc), 1); EXPECT_EQ(getCncFileInf(1, 1, name, info, kUnknown), 1); }},
        {"writeCncFile", [&] { EXPECT_EQ(writeCncFile(1, nullptr, name, kCnc), 1); EXPECT_EQ(writeCncFile(1, name, nullptr, kCnc), 1); EXPECT_EQ(writeCncFile(1, name, name, kUnknown), 1); }},
        {"getCncCurrentError", [] { EXPECT_EQ(getCncCurrentError(10, kUnknown), nullptr); EXPECT_STREQ(getCncCurrentError(5, kCnc), "9Channel selection error"); }},
        {"getCurErrString", [&] { EXPECT_EQ(getCurErrString(1, 0, nullptr, kCnc), 1); EXPECT_EQ(getCurErrString(4, 0, text, kCnc), 1); }},
        {"ftpUploadFile", [&] { EXPECT_EQ(ftpUploadFile(2, 1, name, nullptr, kCnc), 1) << "type neither 0 nor 1"; EXPECT_EQ(ftpUploadFile(1, 1, name, nullptr, kUnknown), 1); }},
        {"ftpUploadFileDes", [&] { EXPECT_EQ(ftpUploadFileDes(name, name, nullptr, kUnknown), 1); }},
        {"ftpUpdateSystem", [&] { EXPECT_EQ(ftpUpdateSystem(name, nullptr, kUnknown), 1); }},
        {"ftpMkdir", [&] { EXPECT_EQ(ftpMkdir(name, nullptr, kUnknown), 1); }},
        {"getFtpUploadFileProgress", [] { EXPECT_EQ(getFtpUploadFileProgress(kUnknown), 1.0); }},
    };
    // The command exports' channel and target checks are rows of ExportCommandTest's table.
    expectEveryExportNamed(rows, commandExportNames());
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        r.check();
    }
    EXPECT_EQ(CheckTcpWdt(kCnc), 0) << "the target still works after all of it";
}

// The address datagram unanswered (success after the wait) and on a port held exclusively (10).
TEST_F(ExportTableTest, AddressDatagramUnansweredOrItsPortTaken)
{
    const quint16 port = quint16(41000 + (getpid() % 4000) * 4);
    char text[] = "10.0.0.8";
    UdpAddressSender::redirectForTesting(QHostAddress(sim->address()), port); // nobody listens
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(udpSetCncIp(text, kCnc), 0);
    EXPECT_GE(clock.elapsed(), 550);
    EXPECT_LT(clock.elapsed(), 1500);
    QUdpSocket holder;
    ASSERT_TRUE(holder.bind(QHostAddress::AnyIPv4, port + 1, QUdpSocket::DontShareAddress));
    UdpAddressSender::redirectForTesting(QHostAddress(sim->address()), port + 1);
    EXPECT_EQ(udpSetCncIp(text, kCnc), 10);
}

} // namespace
