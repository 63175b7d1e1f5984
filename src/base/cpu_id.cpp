// The CPUID instruction, through the compiler's own interface to it.
#include "base/cpu_id.h"

#if defined(_MSC_VER) && (defined(_M_IX86) || defined(_M_X64))
#include <intrin.h>
#define TELINV_CPUID_MSVC 1
#elif (defined(__GNUC__) || defined(__clang__)) && (defined(__i386__) || defined(__x86_64__))
#include <cpuid.h>
#define TELINV_CPUID_GNU 1
#endif

int cpu_id_leaf1(uint32_t *eax, uint32_t *edx)
{
    *eax = 0;
    *edx = 0;
#if defined(TELINV_CPUID_MSVC)
    int regs[4];
    __cpuid(regs, 0);
    if (regs[0] < 1)
        return 0;
    __cpuid(regs, 1);
    *eax = static_cast<uint32_t>(regs[0]);
    *edx = static_cast<uint32_t>(regs[3]);
    return 1;
#elif defined(TELINV_CPUID_GNU)
    // __get_cpuid asks leaf 0 first, and fails where leaf 1 is beyond the highest leaf
    // (or, on a 32-bit processor, where there is no CPUID at all).
    unsigned int a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(1, &a, &b, &c, &d))
        return 0;
    *eax = a;
    *edx = d;
    return 1;
#else
    return 0;
#endif
}
