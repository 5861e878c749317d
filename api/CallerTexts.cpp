#include "CallerTexts.h"

#include <map>
#include <utility>

namespace CallerTexts {

char* keep(Kind kind, int cncID, const QByteArray& text)
{
    thread_local std::map<std::pair<Kind, int>, QByteArray> kept;
    QByteArray& mine = kept[{kind, cncID}];
    mine = text;
    return mine.data(); // detaches: the copy is this thread's alone
}

} // namespace CallerTexts
