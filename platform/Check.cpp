#include "platform/Check.h"

#include <cstdio>

void SVReportFailure(const char *unit, int line, const char *condition)
{
    fprintf(stderr, "*FAILED* check: %s:%d: %s\n", unit, line, condition);
}
