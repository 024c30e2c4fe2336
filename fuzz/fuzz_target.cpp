// A libFuzzer entry point for one picture reader; QUILL_FUZZ_TARGET names it.
#include "fuzz/FuzzTargets.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const quill::fuzz::Target* target = quill::fuzz::findTarget(QUILL_FUZZ_TARGET);
    if (target == nullptr)
        std::abort();
    const std::string broken = quill::fuzz::checkTarget(*target, data, size);
    if (!broken.empty()) {
        std::fprintf(stderr, "%s reader: %s\n", target->name, broken.c_str());
        std::abort();
    }
    return 0;
}
