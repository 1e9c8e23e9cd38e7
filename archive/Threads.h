// How many threads extract an archive: the one setting the host tool and both stubs take from
// the environment, so that a user can hold a run to one thread (ZIPSFX_THREADS=1) or widen it.
#pragma once

#include <optional>
#include <string>

namespace vessel5 {

// More threads than this gain nothing on the disks an installer writes to.
constexpr unsigned kMaxThreads = 8;

// The count a value of ZIPSFX_THREADS asks for: a decimal number from 1 to kMaxThreads. Anything
// else (unset, empty, 0, too large, not a number) gives the default, one thread per processor up
// to kMaxThreads.
unsigned threadsFor(const std::optional<std::string>& value, unsigned processors);
// threadsFor the process's ZIPSFX_THREADS and processor count.
unsigned configuredThreads();

}  // namespace vessel5
