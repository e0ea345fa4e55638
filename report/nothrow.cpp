/*
 * Usage report: the program is built without exceptions, and these keep
 * the exception machinery out of the exe. The containers' templates are
 * compiled here, but where they would throw they call libstdc++'s own
 * functions std::__throw_bad_alloc and the like, which are compiled with
 * exceptions; defining them here wins over the library's at link time, so
 * its __cxa_throw and the unwinder (_Unwind_Resume) are never pulled in.
 * Running out of memory, or a container's size overflowing, ends the run
 * as a report that could not be written, which is all a throw could do
 * here. Linked into the program only, never into the tests.
 *
 * What breaks it: a libstdc++ whose templates call a __throw_ function not
 * listed below, or code that uses a part of the library compiled with
 * exceptions (iostreams, std::string itself: see text.h). The build then
 * links the machinery again, and the exe's link map check says so.
 */
#include "text.h"

#include <new>

void *operator new(size_t size)
{
    void *p = malloc(size ? size : 1);
    if (!p)
        OutOfMemory();
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
    OutOfMemory();
}
void __throw_bad_array_new_length()
{
    OutOfMemory();
}
void __throw_length_error(const char *)
{
    OutOfMemory();
}
void __throw_logic_error(const char *)
{
    OutOfMemory();
}
void __throw_out_of_range_fmt(const char *, ...)
{
    OutOfMemory();
}
}
