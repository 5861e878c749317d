#pragma once
#include <QString>

#include <cstdint>

// What a result code means for the call that returned it, and what the controller's and the
// library's texts mean in English, from the table shared with the Python package
// (api/AsyncCommModuleMeanings.tsv, compiled in as a resource).
QString callMeaning(const QString& function, int32_t result);

// An English explanation of a text of an error report or of the remote buffer's state (with the
// detail that follows a known start, such as an FTP server's reply); empty for a text the table
// does not know.
QString controllerTextMeaning(const QString& text);

// The text followed by its English explanation in parentheses, when the table has one.
QString withMeaning(const QString& text);
