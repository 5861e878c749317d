#pragma once
// Literal frame pieces for the codec tests: the helpers of the shared wire-code table.
#include "WireCodeTable.h"
