// Helpers of the interpreter tests: loading text, printing objects to a string.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "theme/ThmInterpreter.h"
#include "theme/ThmObject.h"
#include "theme/ThmPort.h"
#include "theme/ThmPrinter.h"

inline std::string printed(const ThmObject *object)
{
    char *text = nullptr;
    size_t length = 0;
    FILE *stream = open_memstream(&text, &length);
    ThmObject *port = ThmOpenOutput(stream);
    ThmPrint(object, port);
    ThmRelease(port);
    fclose(stream);
    std::string s(text, length);
    free(text);
    return s;
}

// What a load gives and what it writes.
struct Loaded {
    ThmObject *value;  // owned, released by the destructor
    std::string out, err;

    Loaded() = default;
    Loaded(const Loaded &) = delete;
    Loaded &operator=(const Loaded &) = delete;
    ~Loaded() { ThmRelease(value); }
    std::string text() const { return value ? printed(value) : "<none>"; }
};

inline void loadText(const std::string &source, Loaded *loaded)
{
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    ThmInterpreter *interp = ThmNewInterpreter();
    ThmObject *port = ThmOpenBytes(source.data(), source.size());
    loaded->value = ThmLoad(interp, port);
    ThmRelease(port);
    ThmFreeInterpreter(interp);
    fflush(stdout);
    loaded->out = testing::internal::GetCapturedStdout();
    loaded->err = testing::internal::GetCapturedStderr();
}
