// Exports of single bits and bit groups of the controller's I/O tables.
#include "ExportFrame.h"

using namespace ExportFrame;

namespace {
// Table numbers on the wire: reads and writes number the output tables differently.
enum BitKind : int32_t { KindI = 0, KindO = 1, KindC = 2, KindS = 3, KindA = 4 };
enum SetKind : int32_t { SetPlcO = 0, SetCncO = 1, SetC = 2, SetS = 3, SetA = 4 };

CncLong getBit(int cncID, CncLong channel, BitKind kind, CncLong index, CncLong* value)
{
    return onChannel(cncID, channel, [&](AsynchronousClient& c) { return c.getXBit(channel, kind, index, value); });
}

CncLong setBit(int cncID, CncLong channel, SetKind kind, CncLong index, CncLong value, CncLong extra)
{
    return onChannel(cncID, channel,
                     [&](AsynchronousClient& c) { return c.setXBit(channel, kind, index, value, extra); });
}
}

extern "C" {

CncLong getIBit(CncLong channel, CncLong index, CncLong* value, int cncID)
{
    return getBit(cncID, channel, KindI, index, value);
}

CncLong getOBit(CncLong channel, CncLong index, CncLong* value, int cncID)
{
    return getBit(cncID, channel, KindO, index, value);
}

CncLong getCBit(CncLong channel, CncLong index, CncLong* value, int cncID)
{
    return getBit(cncID, channel, KindC, index, value);
}

CncLong getSBit(CncLong channel, CncLong index, CncLong* value, int cncID)
{
    return getBit(cncID, channel, KindS, index, value);
}

CncLong getABit(CncLong channel, CncLong index, CncLong* value, int cncID)
{
    return getBit(cncID, channel, KindA, index, value);
}

CncLong setPlcOBit(CncLong channel, CncLong index, CncLong value, int cncID)
{
    return setBit(cncID, channel, SetPlcO, index, value, 0);
}

CncLong setCncOBit(CncLong channel, CncLong index, CncLong value, CncLong extra, int cncID)
{
    return setBit(cncID, channel, SetCncO, index, value, extra);
}

CncLong setCBit(CncLong channel, CncLong index, CncLong value, int cncID)
{
    return setBit(cncID, channel, SetC, index, value, 0);
}

CncLong setSBit(CncLong channel, CncLong index, CncLong value, int cncID)
{
    return setBit(cncID, channel, SetS, index, value, 0);
}

CncLong setABit(CncLong channel, CncLong index, CncLong value, int cncID)
{
    return setBit(cncID, channel, SetA, index, value, 0);
}

CncLong getIbits(CncLong channel, CncLong* elements, CncLong count, CncLong* first, CncLong* second, int cncID)
{
    return onChannel(cncID, channel,
                     [&](AsynchronousClient& c) { return c.getIbits(channel, elements, count, first, second); });
}

CncLong setPlcObits(CncLong channel, CncLong* first, CncLong* second, CncLong count, int cncID)
{
    return onChannel(cncID, channel, [&](AsynchronousClient& c) { return c.setPlcObits(channel, first, second, count); });
}

CncLong setCncObits(CncLong channel, CncLong* first, CncLong* second, CncLong count, CncLong extra, int cncID)
{
    return onChannel(cncID, channel,
                     [&](AsynchronousClient& c) { return c.setCncObits(channel, first, second, count, extra); });
}

} // extern "C"
