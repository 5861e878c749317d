#include "NumberArgument.h"

#include <cmath>
#include <limits>

bool parseInteger(const QString& text, int64_t lowest, int64_t highest, int* value, const QString& what,
                  QString* error)
{
    bool ok = false;
    const qlonglong n = text.toLongLong(&ok, 10);
    if (!ok || n < lowest || n > highest) {
        *error = QStringLiteral("%1: '%2' is not a whole number from %3 to %4.").arg(what, text).arg(lowest).arg(highest);
        return false;
    }
    *value = int(n);
    return true;
}

bool parseInt32(const QString& text, int32_t* value, const QString& what, QString* error)
{
    int n = 0;
    if (!parseInteger(text, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max(), &n, what,
                      error))
        return false;
    *value = int32_t(n);
    return true;
}

bool parseSeconds(const QString& text, double highest, double* value, const QString& what, QString* error)
{
    bool ok = false;
    const double s = text.toDouble(&ok);
    if (!ok || !std::isfinite(s) || s <= 0 || s > highest) {
        *error = QStringLiteral("%1: '%2' is not a number of seconds above 0 and at most %3.").arg(what, text).arg(highest);
        return false;
    }
    *value = s;
    return true;
}

bool parseAddress(const QString& text, int32_t* address, QString* error)
{
    constexpr qlonglong kAreaSize = 1000000;
    constexpr qlonglong kLastArea = 16;
    constexpr qlonglong kLastIndex = 169999;
    bool ok = false;
    const qlonglong n = text.toLongLong(&ok, 10);
    if (!ok || n < 0 || n / kAreaSize > kLastArea || n % kAreaSize > kLastIndex) {
        *error = QStringLiteral("address: '%1' is not a variable address (area * %2 + index, area 0 to %3, index 0 "
                                "to %4).")
                     .arg(text)
                     .arg(kAreaSize)
                     .arg(kLastArea)
                     .arg(kLastIndex);
        return false;
    }
    *address = int32_t(n);
    return true;
}

bool parseAddresses(const QStringList& args, const QString& verb, std::vector<int32_t>* addresses, QString* error)
{
    if (args.isEmpty()) {
        *error = QStringLiteral("%1 needs at least one variable address.").arg(verb);
        return false;
    }
    for (const QString& a : args) {
        int32_t address = 0;
        if (!parseAddress(a, &address, error))
            return false;
        addresses->push_back(address);
    }
    return true;
}

bool parseAxis(const QStringList& args, const QString& verb, int32_t* axis, QString* error)
{
    constexpr int kLastAxis = 63;
    if (args.size() != 1) {
        *error = QStringLiteral("%1 needs exactly one axis.").arg(verb);
        return false;
    }
    int value = 0;
    if (!parseInteger(args[0], 0, kLastAxis, &value, QStringLiteral("axis"), error))
        return false;
    *axis = value;
    return true;
}
