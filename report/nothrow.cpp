/*
 * Usage report: the program is built without exceptions. These stand in
 * for the C++ library's throwing versions, so that none of the exception
 * machinery is linked into the exe: running out of memory, or a
 * container's size overflowing, ends the program, which is all a throw
 * could do here. Linked into the program only, never into the tests.
 */
#include <cstdlib>
#include <new>

void *operator new(size_t size)
{
    void *p = malloc(size ? size : 1);
    if (!p)
        abort();
    return p;
}

void *operator new[](size_t size)
{
    return operator new(size);
}

void operator delete(void *p) noexcept
{
    free(p);
}

void operator delete(void *p, size_t) noexcept
{
    free(p);
}

void operator delete[](void *p) noexcept
{
    free(p);
}

void operator delete[](void *p, size_t) noexcept
{
    free(p);
}

namespace std {
void __throw_bad_alloc()
{
    abort();
}
void __throw_bad_array_new_length()
{
    abort();
}
void __throw_length_error(const char *)
{
    abort();
}
void __throw_logic_error(const char *)
{
    abort();
}
void __throw_out_of_range_fmt(const char *, ...)
{
    abort();
}
}
