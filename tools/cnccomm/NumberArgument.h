#pragma once
#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

// Decimal numbers of the command line, each checked against its range; on failure the reason,
// naming `what`, goes to *error.
bool parseInteger(const QString& text, int64_t lowest, int64_t highest, int* value, const QString& what,
                  QString* error);
bool parseInt32(const QString& text, int32_t* value, const QString& what, QString* error);
// Exactly one axis number (0..63), for the command named verb.
bool parseAxis(const QStringList& args, const QString& verb, int32_t* axis, QString* error);
// A variable address: area * 1000000 + index, area 0..16, index 0..169999.
bool parseAddress(const QString& text, int32_t* address, QString* error);
// One or more variable addresses, for the command named verb.
bool parseAddresses(const QStringList& args, const QString& verb, std::vector<int32_t>* addresses, QString* error);
// Seconds, with a fraction: more than 0, at most highest.
bool parseSeconds(const QString& text, double highest, double* value, const QString& what, QString* error);
