#include "LogCategory.h"

Q_LOGGING_CATEGORY(acmLog, "acm")
