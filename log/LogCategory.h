#pragma once
#include <QLoggingCategory>

// Every diagnostic line of the library goes to this category, so an application can silence or
// route them ("acm.debug=false" in QT_LOGGING_RULES, or its own message handler) without any
// change of their text. A disabled category formats nothing.
Q_DECLARE_LOGGING_CATEGORY(acmLog)
