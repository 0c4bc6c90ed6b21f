// Memory for the program's values: a request that cannot be met is a run-time
// error that names the number of bytes asked for, not an exception that would
// end the program without a word.
#include "app/runtime_error.h"

#include <cstdlib>
#include <new>

void* operator new(size_t bytes) {
    void* memory = std::malloc(bytes != 0 ? bytes : 1);
    if (memory == nullptr) cc::RaiseRuntimeError(cc::kNoErrorCode, cc::ComposeAllocationFailureMessage(bytes));
    return memory;
}

void* operator new[](size_t bytes) { return operator new(bytes); }

void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, size_t) noexcept { std::free(memory); }
