#pragma once

#include <QCoreApplication>

#include <cstddef>
#include <cstdint>

// Every fuzz target defines this; libFuzzer calls it with each input, and in
// the normal build the replay driver calls it with each file of the corpus.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

// The device object's timers need an application object; one for the run.
inline void ensureApplication()
{
    if (QCoreApplication::instance())
        return;
    static int argc = 1;
    static char name[] = "fuzz";
    static char *argv[] = {name, nullptr};
    new QCoreApplication(argc, argv);
}
