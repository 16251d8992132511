// Loads arbitrary bytes as a theme file, then queries and prints the value as the theme
// records and sonavel-tool do. Run with -close_fd_mask=3: a failed load prints its scope.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>

#include "theme/ThmInterpreter.h"
#include "theme/ThmObject.h"
#include "theme/ThmPort.h"
#include "theme/ThmPrinter.h"

namespace {

void query(ThmObject *alist, ThmObject *key)
{
    ThmObject *value = ThmAssoc(alist, key);
    if (ThmIsString(value))
        free(ThmStringToUTF8(value));
    for (int n = 0; n < 5; n++) {
        ThmObject *element = ThmNth(value, n);
        if (ThmIsNumber(element))
            ThmToInteger(element);
        ThmRelease(element);
    }
    ThmRelease(value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static FILE *sink = fopen("/dev/null", "w");
    ThmInterpreter *interp = ThmNewInterpreter();
    // Runaway recursion reaches these either way; the full limits only cost time here
    // (the tests run them to the end).
    interp->maxDepth = 300;
    interp->maxApplications = 1000;
    ThmObject *port = ThmOpenBytes(data, size);
    ThmObject *value = ThmLoad(interp, port);
    ThmRelease(port);
    ThmFreeInterpreter(interp);
    if (!value)
        return 0;

    for (const char *name : {"scroll-indicator", "background-image-portrait", "list-title-color",
                             "list-inset-portrait"}) {
        ThmObject *key = ThmSymbolFromCString(name);
        query(value, key);
        ThmRelease(key);
    }
    // Keys shaped like the value's own first entries exercise deep equality.
    if (ThmIsPair(value) && ThmIsPair(value->pair.car))
        query(value, value->pair.car->pair.car);
    if (ThmIsPair(value))
        query(value, value->pair.car);

    ThmObject *out = ThmOpenOutput(sink);
    ThmPrint(value, out);
    ThmRelease(out);
    ThmRelease(value);
    return 0;
}
