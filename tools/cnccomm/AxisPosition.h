#pragma once
#include "Subcommand.h"

// Reports the position of an axis of the channel after a motion (getAxisCoord with the
// channel, the axis and coordinate kind 0): "position: N", JSON field position.
ExitStatus reportAxisPosition(CommandContext& context, int id, int32_t axis);
