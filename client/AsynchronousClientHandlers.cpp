#include "AsynchronousClient.h"
#include "LogCategory.h"
#include "CommCodes.h"

#include <QDebug>
#include <QString>

namespace {
const char* const kParametersError = "parameters error.";
const char* const kProgramRunning = "program is runing.";
const char* const kExecutionAlarm = "CNC系统执行错误报警";
const char* const kFileExecuting = "target file is been executing.file transmission denied.";
}

// ---- machine-control replies: state 0 is success, state s fails with 100 + s ----

void AsynchronousClient::machineReply(int32_t status)
{
    if (status == 0) {
        replyErrorFlag = false;
    } else {
        replyErrorFlag = true;
        replyErrorCode = ResultCode::fromState(status);
    }
}

void AsynchronousClient::machineValuesReply(int32_t status, int32_t count, const int32_t* values)
{
    machineReply(status);
    if (status != 0 || !values)
        return;
    if (count == 1) {
        replyValue3 = values[0];
    } else if (count == 2) {
        replyValue2 = values[0];
        replyValue3 = values[1];
    }
}

void AsynchronousClient::onRecCmdJogMotionV_Run(int32_t status) { machineReply(status); }
void AsynchronousClient::onRecCmdJogMotionV_Stop(int32_t status) { machineReply(status); }
void AsynchronousClient::onRecCmdJogMotionV_MfoSet(int32_t status) { machineReply(status); }
void AsynchronousClient::onRecCmdJogMotionP_Run(int32_t status) { machineReply(status); }
void AsynchronousClient::onRecCmdJogMotionP_MfoSet(int32_t status) { machineReply(status); }
void AsynchronousClient::onRecCmdJogMotionP_Stop(int32_t status) { machineReply(status); }
void AsynchronousClient::onRecCmdHomeRunAxis(int32_t status) { machineReply(status); }
void AsynchronousClient::onRecCmdStatusS(int32_t status) { machineReply(status); }
void AsynchronousClient::onRecCmdStatus(int32_t status) { machineReply(status); }

void AsynchronousClient::onRecCmdJogMotionP_IsStop(int32_t status, const int32_t* values)
{
    machineReply(status);
    if (status == 0 && values)
        replyValue3 = values[0];
}

void AsynchronousClient::onRecCmdHomeAxes(int32_t status, int32_t count, const int32_t* values)
{
    machineValuesReply(status, count, values);
}

void AsynchronousClient::onRecCmdValues(int32_t status, int32_t count, const int32_t* values)
{
    machineValuesReply(status, count, values);
}

void AsynchronousClient::onRecCmdAlarmRead(int32_t status, int32_t count, const int32_t* values)
{
    machineReply(status);
    if (status == 0 && count == 3 && values) {
        replyValue1 = values[0];
        replyValue2 = values[1];
        replyValue3 = values[2];
    }
}

void AsynchronousClient::onRecCmdGetAxesCoord(int32_t status, int32_t count, const int32_t* values)
{
    machineReply(status);
    if (status == 0 && values)
        for (int32_t i = 0; i < count; ++i)
            axesCoords.append(values[i]);
}

// ---- program text transfer ----

// State 100 of the transfer replies: the controller raised an execution alarm.
void AsynchronousClient::executionAlarmReply(const char* name)
{
    replyErrorFlag = true;
    replyErrorCode = ResultCode::ExecutionAlarm;
    onErrorOccured(ErrorCmd::FileDeclaration, ControllerState::ExecutionAlarm, kExecutionAlarm);
    qCDebug(acmLog).noquote() << name << QString::fromUtf8(kExecutionAlarm) << "state==" << ControllerState::ExecutionAlarm;
}

void AsynchronousClient::transferStateReply(const char* name, const char* unknownPrefix, int32_t status)
{
    if (status == 0) {
        replyErrorFlag = false;
    } else if (status == 1) {
        replyErrorFlag = true;
        replyErrorCode = ResultCode::ParametersRejected;
        onErrorOccured(ErrorCmd::FileDeclaration, status, kParametersError);
    } else if (status == 2) {
        replyErrorFlag = true;
        replyErrorCode = ResultCode::RefusedWhileRunning;
        onErrorOccured(ErrorCmd::FileDeclaration, status, kFileExecuting);
    } else if (status == ControllerState::ExecutionAlarm) {
        executionAlarmReply(name);
    } else {
        replyErrorFlag = true;
        replyErrorCode = ResultCode::fromState(status);
        const QByteArray text = QByteArray(unknownPrefix) + QByteArray::number(status);
        onErrorOccured(ErrorCmd::FileDeclaration, status, text.constData());
        qCDebug(acmLog).noquote() << name << QString::fromUtf8("(返回状态不可预见)state====") << status;
    }
    isSetFileOk = !replyErrorFlag;
    if (isSetFileOk)
        declaredLink = syncTransport()->linkGeneration(); // the link that now holds the declaration
}

void AsynchronousClient::onReciveCmdGetFileTransState(int32_t status)
{
    transferStateReply("onReciveCmdGetFileTransState", "CmdGetFileTransState:unknow state. state=", status);
}

void AsynchronousClient::onReciveCmdSetFileInf(int32_t status)
{
    qCDebug(acmLog).noquote() << "onReciveCmdSetFileInf" << "state=" << status;
    transferStateReply("onReciveCmdSetFileInf", "CmdSetFileInf:unknow state. state=", status);
}

void AsynchronousClient::textBlockReply(const char* name, int32_t errorCmd, const char* storedText,
                                        const char* lostText, int32_t status)
{
    dncMemoryFull = false;
    if (status == 0) {
        replyErrorFlag = false;
    } else if (status == 1) {
        replyErrorFlag = true;
        replyErrorCode = ResultCode::ParametersRejected;
        onErrorOccured(errorCmd, status, kParametersError);
    } else if (status == 2) {
        onErrorOccured(errorCmd, status, storedText);
    } else if (status == 3) {
        dncMemoryFull = true;
        replyErrorCode = ResultCode::MemoryFullOrNoFile;
        onErrorOccured(errorCmd, status, lostText);
    } else if (status == ControllerState::ExecutionAlarm) {
        executionAlarmReply(name);
    } else {
        replyErrorFlag = true;
        replyErrorCode = ResultCode::fromState(status);
        qCDebug(acmLog).noquote() << name << QString::fromUtf8("(返回状态不可预见)state====") << status;
    }
}

void AsynchronousClient::onReciveCmdOverWriteTxt(int32_t status)
{
    textBlockReply("onReciveCmdOverWriteTxt", ErrorCmd::Overwrite, "DNC 内存已满，此笔数据复写成功", "DNC 内存已满，此笔数据复写失败",
                   status);
}

void AsynchronousClient::onReciveCmdAppendTxt(int32_t status)
{
    textBlockReply("onReciveCmdAppendTxt", ErrorCmd::Append, "DNC内存已满，此笔数据追加成功", "DNC内存已满，此笔数据追加失败", status);
}

void AsynchronousClient::onReciveCmdFileEnd(int32_t status)
{
    if (status == 0) {
        replyErrorFlag = false;
    } else if (status == 1) {
        replyErrorFlag = true;
        replyErrorCode = ResultCode::ParametersRejected;
        onErrorOccured(ErrorCmd::FileEnd, status, kParametersError);
    }
}

void AsynchronousClient::onReciveCmdTransFileState(int32_t status)
{
    if (status != 1)
        return;
    const int32_t n = CmdTransFileState();
    if (n > 0)
        cmdQueue.prepend(QByteArray(reinterpret_cast<const char*>(sendBuf), n));
}

// ---- reset, variable write, cycle start ----

namespace {
struct StateOutcome
{
    int32_t code;
    const char* text;
};

StateOutcome resetLikeOutcome(int32_t status)
{
    if (status == 1)
        return {ResultCode::ParametersRejected, kParametersError};
    if (status == 2)
        return {ResultCode::RefusedWhileRunning, kProgramRunning};
    return {ResultCode::fromState(status), ""};
}
}

// State 0 succeeds; any other state fails and is reported. Only the cycle start knows state 3.
void AsynchronousClient::stateReply(int32_t errorCmd, int32_t status, bool fileMissingIs103)
{
    if (status == 0) {
        replyErrorFlag = false;
        return;
    }
    StateOutcome outcome = resetLikeOutcome(status);
    if (fileMissingIs103 && status == 3)
        outcome = {ResultCode::MemoryFullOrNoFile, "file is not exist."};
    replyErrorFlag = true;
    replyErrorCode = outcome.code;
    onErrorOccured(errorCmd, status, outcome.text);
}

void AsynchronousClient::onRecCmdWriteVars(int32_t failed)
{
    stateReply(ErrorCmd::VariableWrite, failed, false);
}

void AsynchronousClient::onReciveCmdReset(int32_t status)
{
    stateReply(ErrorCmd::Reset, status, false);
}

void AsynchronousClient::onReciveCmdCycStart(int32_t status)
{
    stateReply(ErrorCmd::CycleStart, status, true);
}

// A good text reply clears the failure flag: otherwise one failing reply before it would make
// every later running-program query answer "" while the controller sends a name.
void AsynchronousClient::onRecCmdGetCncString(int32_t kind, const char* text)
{
    cncStrings[kind] = QByteArray(text ? text : "");
    replyErrorFlag = false;
}

// ---- file reading, binary files, oscilloscope set-up: state 1 is success ----

void AsynchronousClient::fileStepReply(const char* name, bool logs, int32_t errorCmd, const char* zeroText,
                                       int32_t status)
{
    if (logs && (logFlags & LogFlag::Progress))
        qCDebug(acmLog).noquote() << name << "state =" << status;
    replyErrorFlag = true;
    if (status == 1) {
        replyErrorFlag = false;
        replyStatus = 0;
    } else if (status == 0) {
        replyErrorCode = ResultCode::ControllerFailure;
        onErrorOccured(errorCmd, 0, zeroText);
    } else {
        replyErrorCode = ResultCode::fromState(status);
        onErrorOccured(errorCmd, status, "");
    }
}

void AsynchronousClient::onRecCmdOpenReadFile(int32_t status)
{
    fileStepReply("onRecCmdOpenReadFile", true, ErrorCmd::OpenReadFile, "opening file error.", status);
}

void AsynchronousClient::onRecCmdCloseReadFile(int32_t status)
{
    fileStepReply("onRecCmdCloseReadFile", true, ErrorCmd::FileStep, "closing file error.", status);
}

void AsynchronousClient::onRecCmdBinFile(int32_t status)
{
    fileStepReply("onRecCmdBinFile", false, ErrorCmd::FileStep, "onRecCmdBinFile error.", status);
}

void AsynchronousClient::onRecCmdSetOscAxis(int32_t status)
{
    fileStepReply("onRecCmdSetOscAxis", false, ErrorCmd::FileStep, "SetOscAxis error.", status);
}

void AsynchronousClient::onRecCmdSetOscTransEn(int32_t status)
{
    fileStepReply("onRecCmdSetOscTransEn", false, ErrorCmd::FileStep, "SetOscTransEn error.", status);
}

void AsynchronousClient::onRecCmdReadFile(const uint8_t* data, int32_t frameLength)
{
    if (logFlags & LogFlag::Progress)
        qCDebug(acmLog).noquote() << "onRecCmdReadFile" << "state = " << int32_t(sendState);
    replyErrorFlag = true;
    const int32_t count = data ? int32_t(int8_t(data[0])) : -1;
    if (logFlags & LogFlag::Progress)
        qCDebug(acmLog).noquote() << "onRecCmdReadFile" << "recsize = " << count << "size =" << frameLength;
    if (frameLength - 10 != count) {
        onErrorOccured(ErrorCmd::ReadFile, sendState, "read file error.(Accept the wrong size)");
        return;
    }
    if (frameLength >= 11 && count > 0)
        recvFileData.append(reinterpret_cast<const char*>(data + 1), count);
    replyErrorFlag = false;
    replyStatus = 0;
}

void AsynchronousClient::onRecCmdErrorInf(int32_t status, QByteArray bytes)
{
    replyErrorFlag = true;
    if (status == 0) {
        replyErrorFlag = false;
        replyStatus = 0;
        recvFileData.append(bytes);
    } else if (status == 1) {
        replyErrorCode = ResultCode::ParametersRejected;
        onErrorOccured(ErrorCmd::FileStep, status, "onRecCmdBinFile error.");
    } else {
        replyErrorCode = ResultCode::fromState(status);
        onErrorOccured(ErrorCmd::FileStep, status, "");
    }
}

void AsynchronousClient::onRecCmdErrorData(QByteArray bytes)
{
    replyErrorFlag = false;
    replyStatus = 0;
    recvFileData.append(bytes);
}

void AsynchronousClient::onRecCmdGetOscPoint(int32_t status, int32_t count, const int32_t* values)
{
    if (status == 1) {
        replyErrorFlag = false;
        if (count >= 1 && count <= 60 && values)
            for (int32_t i = 0; i < count; ++i)
                oscPoints.append(values[i]);
    } else if (status == 0) {
        replyErrorFlag = true;
        replyErrorCode = ResultCode::ControllerFailure;
        onErrorOccured(ErrorCmd::VariableRead, 0, "onRecCmdGetOscPoint error.");
    }
}

void AsynchronousClient::onRecCmdCheckTcpWdt(int32_t status)
{
    if (status == 1) {
        replyErrorFlag = false;
        replyStatus = 0;
    } else {
        replyErrorFlag = true;
        replyErrorCode = ResultCode::fromState(status);
    }
}

void AsynchronousClient::onRecCmdGetCncFileInf(int32_t status, const char* text)
{
    replyErrorFlag = true;
    if (status == 0) {
        replyErrorCode = ResultCode::ControllerFailure;
    } else if (status == 1) {
        replyErrorFlag = false;
        replyStatus = 0;
        if (text)
            recvFileData.append(QString::fromLatin1(text).toUtf8());
    } else {
        replyErrorCode = ResultCode::fromState(status);
    }
}

void AsynchronousClient::onRecCmdUnknown()
{
    replyErrorFlag = true;
    onErrorOccured(ErrorCmd::UnknownCommand, 0, "unknown command.");
}
