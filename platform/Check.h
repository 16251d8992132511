// The one failure line of the engine and the C-style parsers: "*FAILED* check: unit:line: cond".
#pragma once

// Reports a failed condition as one line on standard error.
void SVReportFailure(const char *unit, int line, const char *condition);

// Prints the one failure line for a condition text, naming this source file and line.
#define SV_FAILED(text) SVReportFailure(__FILE_NAME__, __LINE__, text)

// Inside a reader: on a false condition print the failure line and jump to the
// function's `fail:` label, which closes the half-built handle and returns null.
#define SV_CHECK(cond)                                                        \
    do {                                                                      \
        if (!(cond)) {                                                        \
            SV_FAILED(#cond);                                                 \
            goto fail;                                                        \
        }                                                                     \
    } while (0)
