// Input log reader over arbitrary bytes: a log it takes must write back to one that reads
// the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "scene/inputlog.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    InputLog log;
    std::string error;
    if (!readInputLog(bytes, log, error)) {
        if (error.empty()) std::abort();
        return 0;
    }
    const std::string written = writeInputLog(log);
    InputLog again;
    if (!readInputLog(written, again, error) || writeInputLog(again) != written) std::abort();
    return 0;
}
