// Every export of the version script against the simulator: as an application calls it, with bad
// input (never a crash), and for the command exports the request each sends and its checks.
#include "ApiTestSupport.h"
#include "ControllerFiles.h"
#include "ExportNames.h"
#include "FrameFields.h"
#include "UdpAddressSender.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QUdpSocket>

#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

namespace {

// The rows' target: kCnc, or one never registered.
int kCnc = ApiFixture::kCnc;
constexpr int kUnknown = 4242;
constexpr int kOther = 43;

struct CommandRow
{
    const char* name;
    uint8_t code;
    int subCode; // -1: the request has none
    bool channelChecked;
    std::function<CncLong(CncLong channel)> call;
    std::vector<int32_t> fields = {}; // when given: the request's int32 fields, called on channel 2
};

struct Row
{
    const char* name;
    std::function<void()> check;
};

// Runs the rows once every export of the version script is named by them or by the command table.
void runEveryExport(const std::vector<Row>& rows, const std::vector<CommandRow>& commands)
{
    const std::vector<std::string> exported = versionScriptNames(ACM_VERSION_SCRIPT);
    std::set<std::string> named;
    for (const Row& r : rows)
        named.insert(r.name);
    for (const CommandRow& r : commands)
        named.insert(r.name);
    EXPECT_EQ(named, std::set<std::string>(exported.begin(), exported.end()));
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        r.check();
    }
}

CncLong o1, o2, o3;
CncLong words[4] = {1, 2, 3, 4}, many[32] = {};
CncLong addresses[2] = {1000070, 1000071};
CncLong values[2] = {70, 71};
char text[1100];
AcmRemoteBuffer* buffer = nullptr;
CncLong coords[4] = {};
CncLong elements[2] = {1, 2};
CncLong pairA[2] = {1, 2}, pairB[2] = {3, 4};
CncLong inputs[121] = {}; // the most getIbits takes: its request fills the 500-byte buffer

const std::vector<CommandRow>& commandTable()
{
    static const std::vector<CommandRow> rows = {
        {"jogMotionV_Run", 'r', 1, true, [](CncLong c) { return jogMotionV_Run(c, 1, 100, 0, 0, kCnc); }},
        {"jogMotionV_Stop", 'r', 2, true, [](CncLong c) { return jogMotionV_Stop(c, 1, kCnc); }},
        {"jogMotionV_MfoSet", 'r', 3, true, [](CncLong c) { return jogMotionV_MfoSet(c, 50, kCnc); }},
        {"jogMotionV_FastOnSet", 'r', 4, true, [](CncLong c) { return jogMotionV_FastOnSet(c, 1, kCnc); }},
        {"jogMotionV_Para", 'r', 5, true, [](CncLong c) { return jogMotionV_Para(c, 1, 100, 0, 0, kCnc); }},
        {"jogMotionV_AxesRun", 'r', 6, true, [](CncLong c) { return jogMotionV_AxesRun(c, 0, 3, kCnc); }},
        {"jogMotionP_Run", 'r', 7, true, [](CncLong c) { return jogMotionP_Run(c, 1, 100, 10, 0, 0, kCnc); }},
        {"jogMotionP_Stop", 'r', 8, true, [](CncLong c) { return jogMotionP_Stop(c, 1, kCnc); }},
        {"jogMotionP_MfoSet", 'r', 9, true, [](CncLong c) { return jogMotionP_MfoSet(c, 50, kCnc); }},
        {"jogMotionP_IsStop", 'r', 10, true, [](CncLong c) { return jogMotionP_IsStop(c, 1, 0, &o1, kCnc); }},
        {"jogMotionP_Para", 'r', 11, true, [](CncLong c) { return jogMotionP_Para(c, 1, 100, 10, 0, 0, kCnc); }},
        {"jogMotionP_AxesRun", 'r', 12, true, [](CncLong c) { return jogMotionP_AxesRun(c, 0, 3, kCnc); }},
        {"jogMotionP_AxesStop", 'r', 13, true, [](CncLong c) { return jogMotionP_AxesStop(c, 0, 3, kCnc); }},
        {"jogMotionP_AxesIsStop", 'r', 14, true,
         [](CncLong c) { return jogMotionP_AxesIsStop(c, 0, 3, 0, &o1, &o2, kCnc); }},
        {"jogMotionV_AxesStop", 'r', 15, true, [](CncLong c) { return jogMotionV_AxesStop(c, 0, 3, kCnc); }},
        {"homeRunAxis", 'q', 1, true, [](CncLong c) { return homeRunAxis(c, 1, kCnc); }},
        {"homeRunAxes", 'q', 2, true, [](CncLong c) { return homeRunAxes(c, 0, 3, &o1, &o2, kCnc); }},
        {"homeAxisIsEnd", 'q', 3, true, [](CncLong c) { return homeAxisIsEnd(c, 1, &o1, kCnc); }},
        {"homeAxesIsEnd", 'q', 4, true, [](CncLong c) { return homeAxesIsEnd(c, 0, 3, &o1, &o2, kCnc); }},
        {"homeAxisIsInProcess", 'q', 5, true, [](CncLong c) { return homeAxisIsInProcess(c, 1, &o1, kCnc); }},
        {"homeAxesIsInProcess", 'q', 6, true,
         [](CncLong c) { return homeAxesIsInProcess(c, 0, 3, &o1, &o2, kCnc); }},
        {"mpgSelection", 'w', 1, true, [](CncLong c) { return mpgSelection(c, 1, kCnc); }},
        {"mpgAxesSet", 'w', 2, true, [](CncLong c) { return mpgAxesSet(c, 0, 1, kCnc); }},
        {"mpgMfoSet", 'w', 3, true, [](CncLong c) { return mpgMfoSet(c, 10, kCnc); }},
        {"prgCycleStart", 't', 1, true, [](CncLong c) { return prgCycleStart(c, kCnc); }},
        {"prgStop", 't', 2, true, [](CncLong c) { return prgStop(c, kCnc); }},
        {"prgPause", 't', 3, true, [](CncLong c) { return prgPause(c, 1, 0, kCnc); }},
        {"prgSingleBlockSet", 't', 4, true, [](CncLong c) { return prgSingleBlockSet(c, 1, kCnc); }},
        {"prgOptionSkipSet", 't', 5, true, [](CncLong c) { return prgOptionSkipSet(c, 1, kCnc); }},
        {"prgMpgTestSet", 't', 6, true, [](CncLong c) { return prgMpgTestSet(c, 1, kCnc); }},
        {"prgMpgTestSimuSet", 't', 7, true, [](CncLong c) { return prgMpgTestSimuSet(c, 1, kCnc); }},
        {"emStopSet", 't', 8, true, [](CncLong c) { return emStopSet(c, 0, kCnc); }},
        {"prgReset", 't', 9, true, [](CncLong c) { return prgReset(c, kCnc); }},
        {"alarmRead", 't', 10, false, [](CncLong c) { return alarmRead(c, &o1, &o2, &o3, kCnc); }},
        {"reset", 'f', 3, false, [](CncLong c) { return reset(c, kCnc); }},
        {"setCncType", 'd', 8, true, [](CncLong c) { return setCncType(1, c, kCnc); }},
        {"getIBit", 'u', 1, true, [](CncLong c) { return getIBit(c, 5, &o1, kCnc); }, {2, 0, 5}},
        {"getOBit", 'u', 1, true, [](CncLong c) { return getOBit(c, 5, &o1, kCnc); }, {2, 1, 5}},
        {"getCBit", 'u', 1, true, [](CncLong c) { return getCBit(c, 5, &o1, kCnc); }, {2, 2, 5}},
        {"getSBit", 'u', 1, true, [](CncLong c) { return getSBit(c, 5, &o1, kCnc); }, {2, 3, 5}},
        {"getABit", 'u', 1, true, [](CncLong c) { return getABit(c, 5, &o1, kCnc); }, {2, 4, 5}},
        {"setPlcOBit", 'u', 2, true, [](CncLong c) { return setPlcOBit(c, 5, 1, kCnc); }, {2, 0, 5, 1, 0}},
        {"setCncOBit", 'u', 2, true, [](CncLong c) { return setCncOBit(c, 5, 1, 3, kCnc); }, {2, 1, 5, 1, 3}},
        {"setCBit", 'u', 2, true, [](CncLong c) { return setCBit(c, 5, 1, kCnc); }, {2, 2, 5, 1, 0}},
        {"setSBit", 'u', 2, true, [](CncLong c) { return setSBit(c, 5, 1, kCnc); }, {2, 3, 5, 1, 0}},
        {"setABit", 'u', 2, true, [](CncLong c) { return setABit(c, 5, 1, kCnc); }, {2, 4, 5, 1, 0}},
        {"getIbits", 'x', -1, true, [](CncLong c) { return getIbits(c, elements, 2, &o1, &o2, kCnc); }},
        {"setPlcObits", 'y', -1, true, [](CncLong c) { return setPlcObits(c, pairA, pairB, 2, kCnc); }},
        {"setCncObits", 0x80, -1, true, [](CncLong c) { return setCncObits(c, pairA, pairB, 2, 0, kCnc); }},
        {"getAxisMotionStatus", 'v', 1, true, [](CncLong c) { return getAxisMotionStatus(c, 1, &o1, kCnc); }},
        {"getAxesMotionStatus", 'v', 2, true,
         [](CncLong c) { return getAxesMotionStatus(c, 0, 3, &o1, &o2, kCnc); }},
        {"servoOnAxisSet", 'v', 3, false, [](CncLong c) { return servoOnAxisSet(c, 1, kCnc); }},
        {"servoOnAxesSet", 'v', 4, false, [](CncLong c) { return servoOnAxesSet(c, 0, 3, 1, kCnc); }},
        {"servoOnAxisGet", 'v', 5, false, [](CncLong c) { return servoOnAxisGet(c, &o1, kCnc); }},
        {"servoOnAxesGet", 'v', 6, false, [](CncLong c) { return servoOnAxesGet(c, 0, &o1, &o2, kCnc); }},
        {"getAxisCoord", 'v', 7, false, [](CncLong c) { return getAxisCoord(c, 1, 0, &o1, kCnc); }},
        {"getAxesCoord", 'v', 8, false, [](CncLong c) { return getAxesCoord(c, 0, 3, 0, 2, coords, kCnc); }},
        {"SetCncStaticIp", 0x81, -1, false, [](CncLong c) { return SetCncStaticIp(c, 168, 1, 10, 0, 0, kCnc); }},
        {"CheckTcpWdt", 'p', -1, false, [](CncLong) { return CheckTcpWdt(kCnc); }},
    };
    return rows;
}


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
        {"readBits", [&] { CncLong bits[2] = {-1, -1}; EXPECT_EQ(readBits(1, 0, words, 2, bits, kCnc), 0); EXPECT_EQ(bits[0], 0);
            const CncLong secondWords[7] = {0, 32113, 32177, 32241, 32305, 32593, 32561}; // bits 32..63 of tables 1..6
            for (CncLong table = 1, bit = 33; table <= 6; bit = 32 + ++table) {
                sim->setVariable(1000000 + secondWords[table], 1 << table);
                EXPECT_TRUE(readBits(1, table, &bit, 1, bits, kCnc) == 0 && bits[0] == 1) << "table " << table;
            } }},
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
        {"setReplyTimeout", [] { EXPECT_EQ(setReplyTimeout(60000, kCnc), 0); EXPECT_EQ(setReplyTimeout(0, kCnc), 0); }},
        {"setPollInterval", [] { EXPECT_EQ(setPollInterval(60000, kCnc), 0); EXPECT_EQ(setPollInterval(0, kCnc), 0); }},
    };
    runEveryExport(rows, commandTable());
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
        {"homeAxesIsEnd", [&] { EXPECT_EQ(homeAxesIsEnd(1, 0, 3, none, none, kCnc), 0); }},
        {"reset", [] { EXPECT_EQ(reset(100, kCnc), 1) << "the target-level reset checks 1..99 itself"; EXPECT_EQ(reset(0, kCnc), 1); EXPECT_EQ(reset(9, kCnc), 0); EXPECT_EQ(reset(1, kUnknown), 1); }},
        {"getRuningPrg", [] { EXPECT_EQ(getRuningPrg(1, kUnknown), nullptr); EXPECT_STREQ(getRuningPrg(99, kCnc), ""); EXPECT_STREQ(getRuningPrg(0, kCnc), ""); }},
        {"getIBit", [&] { EXPECT_EQ(getIBit(1, 1, none, kCnc), 0); }},
        {"getIbits", [&] { EXPECT_EQ(getIbits(1, none, 2, &o1, &o2, kCnc), 1); EXPECT_EQ(getIbits(1, words, 122, &o1, &o2, kCnc), 1); EXPECT_EQ(getIbits(1, words, -1, &o1, &o2, kCnc), 1); EXPECT_EQ(getIbits(1, inputs, 121, &o1, &o2, kCnc), 0) << "the largest request"; }},
        {"setPlcObits", [&] { EXPECT_EQ(setPlcObits(1, words, none, 2, kCnc), 1); EXPECT_EQ(setPlcObits(1, words, words, 33, kCnc), 1); EXPECT_EQ(setPlcObits(1, words, words, -1, kCnc), 1); }},
        {"setCncObits", [&] { EXPECT_EQ(setCncObits(1, none, words, 2, 0, kCnc), 1); EXPECT_EQ(setCncObits(1, words, words, 33, 0, kCnc), 1); EXPECT_EQ(setCncObits(1, many, many, 32, 0, kCnc), 0) << "32 words still fit"; }},
        {"getAxesCoord", [&] { EXPECT_EQ(getAxesCoord(1, 0, 3, 0, 2, none, kCnc), 1); EXPECT_EQ(getAxesCoord(1, 0, 3, 0, -5, words, kCnc), 1); EXPECT_EQ(getAxesCoord(1, 0, 3, 0, 0, none, kCnc), 0); }},
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
        {"getCncFileInf", [&] { char info[1024]; EXPECT_EQ(getCncFileInf(2, 1, name, info, kCnc), 1); EXPECT_EQ(getCncFileInf(1, 1, nullptr, info, kCnc), 1); EXPECT_EQ(getCncFileInf(1, 1, name, nullptr, kCnc), 1); EXPECT_EQ(getCncFileInf(1, 1, name, info, kUnknown), 1);
            const std::string longest(456, 'L'), tooLong(457, 'L');
            sim->files()->setFileInfo("/home/root/veko/usr/sys0001/program/" + QByteArray(longest.c_str()), "L 1");
            EXPECT_EQ(getCncFileInf(1, 1, tooLong.c_str(), info, kCnc), 1); EXPECT_EQ(getCncFileInf(1, 1, longest.c_str(), info, kCnc), 0); EXPECT_STREQ(info, "L 1"); }},
        {"writeCncFile", [&] { EXPECT_EQ(writeCncFile(1, nullptr, name, kCnc), 1); EXPECT_EQ(writeCncFile(1, name, nullptr, kCnc), 1); EXPECT_EQ(writeCncFile(1, name, name, kUnknown), 1);
            const std::string longest(487, 'L'), tooLong(488, 'L');
            EXPECT_EQ(writeCncFile(1, tooLong.c_str(), name, kCnc), 1); EXPECT_EQ(writeCncFile(1, longest.c_str(), name, kCnc), 0);
            EXPECT_EQ(sim->files()->binaryFile(longest.c_str()), "O1");
             // Not UTF-8 (a lead byte without its follower): refused whole and reported, nothing sent.
             char cut[] = "ab\xC3("; sim->clearReceived(); ASSERT_TRUE(setErrCallbackFunc(recordError, kCnc));
             EXPECT_EQ(writeCncFile(1, name, cut, kCnc), 1); EXPECT_EQ(reportedError().detail, "writeCncFile: byte 0xc3 at offset 2 of the content is not UTF-8; nothing was sent");
             EXPECT_EQ(writeCncFile(1, cut, name, kCnc), 1); EXPECT_EQ(reportedError().calls, 2); EXPECT_TRUE(sim->receivedFrames().isEmpty()); setErrCallbackFunc(nullptr, kCnc); }},
        {"getCncCurrentError", [] { EXPECT_EQ(getCncCurrentError(10, kUnknown), nullptr); EXPECT_STREQ(getCncCurrentError(5, kCnc), "9Channel selection error"); }},
        {"getCurErrString", [&] { EXPECT_EQ(getCurErrString(1, 0, nullptr, kCnc), 1); EXPECT_EQ(getCurErrString(4, 0, text, kCnc), 1); }},
        {"ftpUploadFile", [&] { EXPECT_EQ(ftpUploadFile(2, 1, name, nullptr, kCnc), 1) << "type neither 0 nor 1"; EXPECT_EQ(ftpUploadFile(1, 1, name, nullptr, kUnknown), 1); }},
        {"ftpUploadFileDes", [&] { EXPECT_EQ(ftpUploadFileDes(name, name, nullptr, kUnknown), 1); }},
        {"ftpUpdateSystem", [&] { EXPECT_EQ(ftpUpdateSystem(name, nullptr, kUnknown), 1); }},
        {"ftpMkdir", [&] { EXPECT_EQ(ftpMkdir(name, nullptr, kUnknown), 1); }},
        {"getFtpUploadFileProgress", [] { EXPECT_EQ(getFtpUploadFileProgress(kUnknown), 1.0); }},
        {"setReplyTimeout", [] { for (CncLong ms : {-1, 99, 60001}) { EXPECT_EQ(setReplyTimeout(ms, kCnc), 1) << ms; } EXPECT_EQ(setReplyTimeout(100, kUnknown), 1); }},
        {"setPollInterval", [] { for (CncLong ms : {-1, 60001}) { EXPECT_EQ(setPollInterval(ms, kCnc), 1) << ms; } EXPECT_EQ(setPollInterval(1, kUnknown), 1); }},
    };
    runEveryExport(rows, commandTable());
    EXPECT_EQ(CheckTcpWdt(kCnc), 0) << "the target still works after all of it";
}

// What the library can judge before sending gives 1 and sends nothing, on either kind of target
// client: 111 stays for a reply that did not come.
TEST_F(ExportTableTest, ArgumentNoRequestCanCarryGivesOneOnEitherClient)
{
    CncLong outOfRange[2] = {1000070, 1170000}, negative[1] = {-33}, bit3[1] = {3}, wordBits[65], out[65];
    for (int i = 0; i < 65; ++i)
        wordBits[i] = 32 * i;
    const std::string infName(457, 'N'), binName(488, 'N');
    char info[1024];
    const struct { const char* name; CncLong sync, async; std::function<CncLong()> call; } rows[] = {
        {"readVars, an address out of range", 1, 1, [&] { return readVars(outOfRange, 2, out, kOther); }},
        {"writeVars, an address out of range", 1, 1, [&] { return writeVars(outOfRange, 2, values, kOther); }},
        {"readBits, a negative bit", 1, 1, [&] { return readBits(1, 1, negative, 1, out, kOther); }},
        {"readBits, a channel without variables", 1, 1, [&] { return readBits(17, 0, bit3, 1, out, kOther); }},
        {"readBits, 65 words (async: not polled)", 1, 111, [&] { return readBits(1, 0, wordBits, 65, out, kOther); }},
        {"registerBits, a negative bit", 6, 1, [&] { return registerBits(1, 1, negative, 1, kOther); }},
        {"getCncFileInf, a name past one request", 1, 1, [&] { return getCncFileInf(1, 1, infName.c_str(), info, kOther); }},
        {"writeCncFile, a name past one request", 1, 1, [&] { return writeCncFile(1, binName.c_str(), "x", kOther); }},
    };
    for (const int asyncMask : {0, 1}) {
        QByteArray ip = address();
        const int markers = sim->requestCount('D');
        ASSERT_TRUE(addTargetCnc(kOther, 1, ip.data(), asyncMask) && connect(kOther));
        ASSERT_TRUE(waitUntil([&] { return sim->requestCount('D') == markers + 3; }, 2000));
        sim->clearReceived();
        for (const auto& r : rows)
            EXPECT_EQ(r.call(), asyncMask ? r.async : r.sync) << r.name << (asyncMask ? " (async)" : "");
        EXPECT_EQ(CheckTcpWdt(kOther), 0);
        EXPECT_TRUE(waitUntil([&] { return sim->requestCount('p') == 1; }, 2000));
        EXPECT_EQ(sim->receivedFrames().size(), 1) << "the watchdog request only, queued after the rest";
        EXPECT_TRUE(removeTargetCnc(kOther));
    }
}

// A controller that answers after 1.5 s: the default wait gives up, one of 3 s (kept across a
// reconnect, on the channel clients too) takes the reply.
TEST_F(ExportTableTest, ReplyTimeoutLetsASlowControllerAnswer)
{
    ScaledWaits waits{kTestWaitScale};
    sim->scriptReply('v', 1, scriptOf(ReplyScript::Delay, 0, 1500));
    const struct { CncLong timeoutMs; bool reconnect; CncLong result; } rows[] = {{0, false, 111}, {3000, true, 0}};
    for (const auto& r : rows) {
        ASSERT_EQ(setReplyTimeout(r.timeoutMs, kCnc), 0);
        if (r.reconnect) {
            ASSERT_TRUE(disconnect(kCnc) && connect(kCnc));
        }
        EXPECT_EQ(getAxisMotionStatus(2, 1, &o1, kCnc), r.result) << "wait " << r.timeoutMs;
    }
    // A disconnect does not wait out a long wait for a silent controller.
    sim->scriptReply('v', 1, scriptOf(ReplyScript::Silence));
    ASSERT_EQ(setReplyTimeout(10000, kCnc), 0);
    sim->clearReceived();
    std::thread waiting([] { EXPECT_NE(getAxisMotionStatus(2, 1, &o1, kCnc), 0); });
    EXPECT_TRUE(waitUntil([&] { return sim->requestCount('v', 1) == 1; }, 2000));
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(disconnect(kCnc));
    waiting.join();
    EXPECT_LT(clock.elapsed(), 3000);
}

// An asynchronous target polling 3 variables: back to back without an interval, about 5 cycles a
// second at 200 ms; a command queued during the pause goes at once, and a removal ends the pause.
TEST_F(ExportTableTest, PollIntervalPacesTheAsynchronousPoll)
{
    QByteArray ip = address();
    CncLong three[3] = {1000070, 1000071, 1000072};
    ASSERT_TRUE(addTargetCnc(kOther, 1, ip.data(), 1) && connect(kOther));
    ASSERT_EQ(registerVars(three, 3, kOther), 0);
    const struct { CncLong intervalMs; int polls; qint64 least, most; } rows[] = {{0, 20, 0, 500}, {200, 6, 950, 2000}};
    for (const auto& r : rows) {
        ASSERT_EQ(setPollInterval(r.intervalMs, kOther), 0);
        ASSERT_TRUE(waitUntil([&] { return sim->requestCount('B') > 0; }, 2000));
        sim->clearReceived();
        QElapsedTimer clock;
        clock.start();
        EXPECT_TRUE(waitUntil([&] { return sim->requestCount('B') >= r.polls; }, 3000)) << r.intervalMs;
        EXPECT_GE(clock.elapsed(), r.least) << r.intervalMs;
        EXPECT_LE(clock.elapsed(), r.most) << r.intervalMs;
    }
    ASSERT_EQ(setPollInterval(60000, kOther), 0); // the cycle under way is the last for a minute
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(CheckTcpWdt(kOther), 0);
    EXPECT_TRUE(waitUntil([&] { return sim->requestCount('p') == 1; }, 1000)) << "the command waits for no cycle";
    EXPECT_TRUE(removeTargetCnc(kOther));
    EXPECT_LT(clock.elapsed(), 2000) << "the removal ends the pause";
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

TEST_F(ExportTableTest, CommandEachExportSendsItsRequestAndPassesTheResult)
{
    for (const CommandRow& row : commandTable()) {
        SCOPED_TRACE(row.name);
        sim->clearReceived();
        EXPECT_EQ(row.call(2), 0);
        const QList<QByteArray> frames = sim->receivedFrames();
        ASSERT_EQ(frames.size(), 1);
        ASSERT_GE(frames[0].size(), 8);
        EXPECT_EQ(uint8_t(frames[0][7]), row.code);
        if (row.subCode >= 0) {
            ASSERT_GE(frames[0].size(), 9);
            EXPECT_EQ(uint8_t(frames[0][8]), row.subCode);
        }
        QByteArray fields;
        for (int32_t f : row.fields)
            fields += le32(f);
        EXPECT_TRUE(row.fields.empty() || frames[0].mid(9) == fields) << frames[0].toHex(' ').toStdString();
    }
}

TEST_F(ExportTableTest, CommandChannelOutsideTheTargetOrUnknownTargetGivesOneAndSendsNothing)
{
    for (const CommandRow& row : commandTable()) {
        SCOPED_TRACE(row.name);
        sim->clearReceived();
        if (row.channelChecked) {
            EXPECT_EQ(row.call(0), 1);
            EXPECT_EQ(row.call(kChannels + 1), 1);
            EXPECT_EQ(row.call(-1), 1);
        }
        ::kCnc = 4242;
        EXPECT_EQ(row.call(1), 1);
        ::kCnc = ApiFixture::kCnc;
        EXPECT_TRUE(sim->receivedFrames().isEmpty());
    }
}

} // namespace
