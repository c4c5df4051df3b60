#pragma once

#include <sys/resource.h>

// The limits a reader of outside files sets on itself before it opens one: no core dump, a
// bound on CPU time, and one on memory (not under the address sanitizer, which reserves far
// more address space than it uses). A damaged file then ends the reader, never the machine.
inline void limitReader(rlim_t memoryBytes, rlim_t cpuSeconds) {
    const rlimit none{0, 0};
    ::setrlimit(RLIMIT_CORE, &none);
    const rlimit cpu{cpuSeconds, cpuSeconds};
    ::setrlimit(RLIMIT_CPU, &cpu);
#if !defined(__SANITIZE_ADDRESS__)
    const rlimit memory{memoryBytes, memoryBytes};
    ::setrlimit(RLIMIT_AS, &memory);
#else
    (void)memoryBytes;
#endif
}
