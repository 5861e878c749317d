#include "AxisPosition.h"

namespace {
constexpr int32_t kCoordinateKind = 0;
}

ExitStatus reportAxisPosition(CommandContext& context, int id, int32_t axis)
{
    int32_t position = 0;
    const int32_t result = context.acm.getAxisCoord(context.common.channel, axis, kCoordinateKind, &position, id);
    context.report.call(QStringLiteral("getAxisCoord"), result);
    if (result != 0)
        return exitStatusForResult(result);
    context.report.data(QStringLiteral("position: %1").arg(position));
    context.report.set(QStringLiteral("position"), position);
    return ExitStatus::Success;
}
