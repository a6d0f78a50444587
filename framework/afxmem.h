// Allocation for the framework types: out of memory ends the process, as an
// installer with an exhausted heap cannot go on meaningfully.
#pragma once

#include <stddef.h>

void* AfxAllocMemory(size_t bytes);
void* AfxReallocMemory(void* block, size_t bytes);
void AfxFreeMemory(void* block);
