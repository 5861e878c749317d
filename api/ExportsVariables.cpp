// Exports of controller variables and bits; all carried by the target-level client.
#include "ExportFrame.h"

using namespace ExportFrame;

namespace {
AsynchronousClient::BitType bitTypeOf(CncLong bitType)
{
    return static_cast<AsynchronousClient::BitType>(bitType);
}
}

extern "C" {

CncLong registerVars(CncLong* addresses, int count, int cncID)
{
    return onMain(cncID, [&](AsynchronousClient& c) { return c.registerVars(addresses, count); });
}

CncLong removeVars(CncLong* addresses, int count, int cncID)
{
    return onMain(cncID, [&](AsynchronousClient& c) {
        c.removeVars(addresses, count);
        return 0;
    });
}

CncLong clearVars(int cncID)
{
    return onMain(cncID, [](AsynchronousClient& c) {
        c.clearVars();
        return 0;
    });
}

CncLong readVars(CncLong* addresses, int count, CncLong* values, int cncID)
{
    return onMain(cncID, [&](AsynchronousClient& c) { return c.readVars(addresses, count, values); });
}

CncLong writeVars(CncLong* addresses, int count, CncLong* values, int cncID)
{
    return onMain(cncID, [&](AsynchronousClient& c) { return c.writeVars(addresses, count, values); });
}

CncLong registerBits(CncLong channel, CncLong bitType, CncLong* bits, int count, int cncID)
{
    return onMain(cncID,
                  [&](AsynchronousClient& c) { return c.registerBits(channel, bitTypeOf(bitType), bits, count); });
}

CncLong removeBits(CncLong channel, CncLong bitType, CncLong* bits, int count, int cncID)
{
    return onMain(cncID,
                  [&](AsynchronousClient& c) { return c.removeBits(channel, bitTypeOf(bitType), bits, count); });
}

CncLong readBits(CncLong channel, CncLong bitType, CncLong* bits, int count, CncLong* values, int cncID)
{
    return onMain(cncID, [&](AsynchronousClient& c) {
        return c.readBits(channel, bitTypeOf(bitType), bits, count, values);
    });
}

} // extern "C"
