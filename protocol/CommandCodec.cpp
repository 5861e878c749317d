#include "CommandCodec.h"

#include "Checksum.h"
#include "FrameMode.h"
#include "FrameReader.h"
#include "FrameWriter.h"
#include "LogCategory.h"
#include "VariableAddress.h"

#include <QDebug>

#include <algorithm>
#include <cstring>

namespace CommandCodec {

using CommandTable::Shape;

namespace {

constexpr int kNameLimit = 100;
constexpr int kProgramTextLimit = 480;
template <class Visit>
const Message* findRow(Visit&& matches)
{
    for (const Message& m : CommandTable::Rows::kTable) {
        if (m.id != Msg::Unknown && matches(m))
            return &m;
    }
    return nullptr;
}

bool isScalar(char field) { return field == 'i' || field == 'b'; }

int scalarFields(const char* fields)
{
    return int(std::count_if(fields, fields + qstrlen(fields), isScalar));
}

bool arrayFits(const CommandTable::Ask& ask, const Args& a)
{
    if (a.count < ask.minCount || a.count > ask.maxCount || (a.count > 0 && !a.first))
        return false;
    if (ask.addresses && !std::all_of(a.first, a.first + a.count, VariableAddress::isValid))
        return false;
    return true;
}

bool argumentsFit(const Message& m, const Args& a)
{
    const char* fields = m.ask.fields;
    if (!fields || scalarFields(fields) != a.scalarCount)
        return false;
    const bool counted = std::strpbrk(fields, "cn") != nullptr;
    if (counted && !arrayFits(m.ask, a))
        return false;
    if (std::strchr(fields, 'A') && a.count > 0 && !a.second)
        return false;
    if (std::strchr(fields, 'p') && (!a.bytes || a.length < 0 || a.length > kProgramTextLimit))
        return false;
    if (std::strpbrk(fields, "ds") && (a.length < 0 || (a.length > 0 && !a.bytes)))
        return false;
    if (m.rangeField >= 0 && (a.scalars[m.rangeField] < m.rangeMin || a.scalars[m.rangeField] > m.rangeMax))
        return false;
    return true;
}

void writeField(char field, const Args& a, int& scalar, FrameWriter& w)
{
    const auto* bytes = reinterpret_cast<const uint8_t*>(a.bytes);
    switch (field) {
    case 'i': w.int32(a.scalars[scalar++]); break;
    case 'b': w.byte(a.scalars[scalar++]); break;
    case 't': w.text(a.bytes, kNameLimit); break;
    case 'p': case 'd': w.bytes(bytes, a.length); break;
    case 's': w.int32(a.length).bytes(bytes, a.length); break;
    case 'c': w.byte(a.count); break;
    case 'n': w.int32(a.count); break;
    case 'a':
        for (int32_t i = 0; i < a.count && !w.overflowed(); ++i)
            w.int32(a.first[i]);
        break;
    case 'A':
        for (int32_t i = 0; i < a.count && !w.overflowed(); ++i)
            w.int32(a.first[i]).int32(a.second[i]);
        break;
    default: break;
    }
}

} // namespace

Args::Args(std::initializer_list<int32_t> values)
{
    for (int32_t v : values) {
        if (scalarCount < kMostScalars)
            scalars[scalarCount] = v;
        ++scalarCount;
    }
}

Args& Args::array(const int32_t* entries, const int32_t* pairedWith, int32_t n)
{
    first = entries;
    second = pairedWith;
    count = n;
    return *this;
}

Args& Args::data(const char* text, int32_t n)
{
    bytes = text;
    length = n;
    return *this;
}

int build(uint8_t* buffer, int capacity, int frameMode, Msg id, const Args& args)
{
    const Message& m = CommandTable::row(id);
    if (!argumentsFit(m, args))
        return 0;
    FrameWriter w(buffer, capacity, frameMode);
    w.code(m.code);
    if (m.sub != CommandTable::kNoSub)
        w.byte(m.sub);
    int scalar = 0;
    for (const char* f = m.ask.fields; *f; ++f)
        writeField(*f, args, scalar, w);
    return w.finishRequest();
}

const Message* requestRow(uint8_t code, int sub)
{
    return findRow([&](const Message& m) { return m.ask.fields && m.code == code && (m.sub == CommandTable::kNoSub || m.sub == sub); });
}

const Message* replyRow(uint8_t code, int sub)
{
    const Message* exact = findRow([&](const Message& m) { return m.code == code && (m.sub == CommandTable::kNoSub || m.sub == sub); });
    if (exact)
        return exact;
    return findRow([&](const Message& m) {
        return m.code == code && m.alsoFirst != CommandTable::kNoSub && sub >= m.alsoFirst && sub <= m.alsoLast;
    });
}

bool hasSubCode(uint8_t code)
{
    return findRow([&](const Message& m) { return m.code == code && m.sub != CommandTable::kNoSub; }) != nullptr;
}

bool isKnownCode(uint8_t code)
{
    return findRow([&](const Message& m) { return m.code == code; }) != nullptr;
}

bool subCodeAnswers(uint8_t code, int requestSub, int replySub)
{
    if (replySub == requestSub)
        return true;
    const Message* asked = requestRow(code, requestSub);
    return asked && asked->alsoFirst != CommandTable::kNoSub && replySub >= asked->alsoFirst && replySub <= asked->alsoLast;
}

} // namespace CommandCodec
