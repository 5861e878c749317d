#pragma once
#include "SimulatedController.h"

#include <QByteArray>

#include <string>
#include <vector>

// Shared pieces of the tests of the program text transfer and the remote buffer.

// A part program of exactly size bytes whose lines are numbered, so that a block out of
// place, lost or sent twice shows in a byte comparison.
QByteArray programOf(int size);

// The 'd' and 'f' requests the simulator received, in order, one word each: "d1 <ch> <type> <name>",
// "d6 ...", "d3 <text length>", "d2 <text length>", "d4", "d5", "f4 <ch> <name>".
std::vector<std::string> transferShapes(SimulatedController& sim);

// The text of every append ('d' 2) or overwrite ('d' 3) request, in order.
std::vector<QByteArray> blockTexts(SimulatedController& sim, int subCode);
