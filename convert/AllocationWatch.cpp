#include "convert/AllocationWatch.h"

#include "platform/Sanitizer.h"

#include <atomic>
#include <cerrno>
#include <cstddef>

namespace {

std::atomic<bool> failed{false};

} // namespace

bool vidlume::convert::allocationFailed()
{
    return failed.load();
}

#if !defined(VIDLUME_ASAN) && defined(__GLIBC__)

// The converter's own allocation functions, in front of the C library's for
// the whole process (the libraries' included): each passes the call on and
// notes a refusal. Over its address space limit the converter fails in many
// places and ways; this is how it tells that this was the cause. A sanitized
// build has allocators of its own, and no limit.
extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* pointer, std::size_t size);
void* __libc_memalign(std::size_t alignment, std::size_t size);

static void* noted(void* pointer)
{
    if (!pointer)
        failed = true;
    return pointer;
}

void* malloc(std::size_t size)
{
    return noted(__libc_malloc(size));
}

void* calloc(std::size_t count, std::size_t size)
{
    return noted(__libc_calloc(count, size));
}

void* realloc(void* pointer, std::size_t size)
{
    void* moved = __libc_realloc(pointer, size);
    return size == 0 ? moved : noted(moved);
}

void* memalign(std::size_t alignment, std::size_t size)
{
    return noted(__libc_memalign(alignment, size));
}

void* aligned_alloc(std::size_t alignment, std::size_t size)
{
    return noted(__libc_memalign(alignment, size));
}

int posix_memalign(void** pointer, std::size_t alignment, std::size_t size)
{
    if (alignment % sizeof(void*) != 0 || (alignment & (alignment - 1)) != 0)
        return EINVAL;
    void* block = noted(__libc_memalign(alignment, size));
    if (!block)
        return ENOMEM;
    *pointer = block;
    return 0;
}
}

#endif
