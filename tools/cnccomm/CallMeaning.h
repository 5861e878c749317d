#pragma once
#include <QString>

#include <cstdint>

// What a result code means for the call that returned it: several codes mean something particular
// for a few calls (102 is a failed close only for writeCncFile, 103 a missing file only for the
// calls that name a file).
QString callMeaning(const QString& function, int32_t result);

// An English explanation of a text that the controller's error reports carry; empty for a text
// the tool does not know.
QString controllerTextMeaning(const QString& text);
