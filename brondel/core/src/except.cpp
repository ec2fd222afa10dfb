// Exception frames: a chain of saved contexts, unwound by a non-local jump. No C++ object with a
// destructor may live in the frames a throw jumps over, so this stays plain C-style code.
#include <setjmp.h>
#include <string.h>

#include "fwstate.h"

static br_exception_handler *chain;
static void *exception_value;

br_exception_handler *_BrExceptionBegin(void)
{
    br_exception_handler *h =
        (br_exception_handler *)BrResAllocate(nullptr, sizeof(br_exception_handler), BR_MEMORY_EXCEPTION_HANDLER);
    if (h == nullptr)
        return nullptr;
    h->prev = chain;
    chain = h;
    return h;
}

void _BrExceptionEnd(void)
{
    br_exception_handler *h = chain;
    if (h == nullptr) {
        // No exception type is known when ending a frame: report 0.
        BrFailure("Unhandled exception: %d", 0);
        return;
    }
    chain = h->prev;
    BrResFree(h);
}

void _BrExceptionThrow(br_int_32 type, void *value)
{
    br_exception_handler *h = chain;
    if (h == nullptr) {
        BrFailure("Unhandled exception: %d", type);
        return;
    }
    jmp_buf context;
    memcpy(&context, &h->context, sizeof(context));
    chain = h->prev;
    BrResFree(h);
    exception_value = value;
    longjmp(context, type);
}

br_int_32 _BrExceptionValueFetch(br_int_32 type, void **evp)
{
    if (type != 0 && evp != nullptr)
        *evp = exception_value;
    return type;
}

void *_BrExceptionResource(void)
{
    return chain;
}
