#include "afxmem.h"

#include <stdlib.h>

void* AfxAllocMemory(size_t bytes)
{
    void* block = malloc(bytes);
    if (block == NULL)
        abort();
    return block;
}

void* AfxReallocMemory(void* block, size_t bytes)
{
    void* grown = realloc(block, bytes);
    if (grown == NULL)
        abort();
    return grown;
}

void AfxFreeMemory(void* block)
{
    free(block);
}
