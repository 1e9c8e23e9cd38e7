#include "archive/Threads.h"

#include "platform/EnvironmentVariable.h"
#include "platform/Thread.h"

namespace vessel5 {

unsigned threadsFor(const std::optional<std::string>& value, unsigned processors) {
    const unsigned fallback =
        processors < 1 ? 1 : (processors > kMaxThreads ? kMaxThreads : processors);
    if (!value || value->empty() || value->size() > 2) {
        return fallback;
    }
    unsigned count = 0;
    for (char c : *value) {
        if (c < '0' || c > '9') {
            return fallback;
        }
        count = count * 10 + static_cast<unsigned>(c - '0');
    }
    return count >= 1 && count <= kMaxThreads ? count : fallback;
}

unsigned configuredThreads() {
    return threadsFor(platform::environmentVariable("ZIPSFX_THREADS"), platform::processorCount());
}

}  // namespace vessel5
