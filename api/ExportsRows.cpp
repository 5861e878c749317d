// The exports that are rows of the command table, one expansion each: find the target, run the
// row on the client it names, log the row's line after the call (also for an unknown cncID).
#include "CommandTable.h"
#include "ExportFrame.h"

using namespace ExportFrame;
using namespace CommandTable;

namespace {
using Command = AsynchronousClient::Command;
using Output = AsynchronousClient::Output;
} // namespace

// The tokens of a row (see ACM_EXPORT_TABLE).
#define ARGS(...) CommandCodec::Args{__VA_ARGS__}
#define OUTS(...) {__VA_ARGS__}
#define OUT(slot, pointer) Output{slot, pointer}
#define LIST(count, pointer) Output{List, pointer, count}
#define OPTS(...) RowOptions{__VA_ARGS__}
#define CHECK(...) RowCheck{__VA_ARGS__}
#define LOG(...) logLine(__VA_ARGS__);
#define NOLOG
#define PTR(pointer) static_cast<const void*>(pointer)

#define ACM_ON_Channel(call) onChannel(cncID, channel, call)
#define ACM_ON_Target(call) onMain(cncID, call)
#define ACM_ROW_EXPORT(name, params, carrier, message, args, outputs, options, log)                     \
    CncLong name params                                                                                   \
    {                                                                                                     \
        static const Command row{Msg::message, options, #name, #params};                                  \
        const auto run = [&](AsynchronousClient& client) { return client.command(row, args, outputs); }; \
        const CncLong out = ACM_ON_##carrier(run);                                                        \
        log return out;                                                                                   \
    }
#define ACM_NO_GROUP(title)
#define ACM_NO_HAND(returns, name, params)

extern "C" {
ACM_EXPORT_TABLE(ACM_NO_GROUP, ACM_NO_HAND, ACM_ROW_EXPORT)
} // extern "C"
