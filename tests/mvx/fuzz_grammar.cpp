// libFuzzer entry point for the object-set grammar (built with clang when MVX_FUZZ is on).
#include "GrammarFuzz.h"

#include <QGuiApplication>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static int argc = 1;
    static char name[] = "fuzz_grammar";
    static char* argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);  // fonts for the drawn texts
    runGrammarFuzzInput(data, size);
    return 0;
}
