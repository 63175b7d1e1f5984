// The identification of the processor the program runs on (the CPUID instruction).
#ifndef TELINV_BASE_CPU_ID_H
#define TELINV_BASE_CPU_ID_H

#include <cstdint>

// CPUID leaf 1: the processor's signature (EAX: stepping, model, family) and feature
// flags (EDX). 1 when the processor has that leaf; 0 where it has none, or where the
// machine is no x86 processor (then both are 0).
int cpu_id_leaf1(uint32_t *eax, uint32_t *edx);

#endif
