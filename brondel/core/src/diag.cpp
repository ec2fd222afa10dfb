// Reporting of warnings, failures, fatal errors and assertions, and the standard handler.
#include <stdio.h>
#include <stdlib.h>

#include "fwstate.h"

// One message buffer for the instance; texts that do not fit are cut, never overrun.
static char diag_buffer[BR_PRINTF_MAX + 1];

static void diag_format(const char *fmt, va_list args, const char *prefix_fmt, ...)
{
    va_list pargs;
    va_start(pargs, prefix_fmt);
    int n = vsnprintf(diag_buffer, sizeof(diag_buffer), prefix_fmt, pargs);
    va_end(pargs);
    if (n < 0)
        n = 0;
    if ((size_t)n < sizeof(diag_buffer) - 1)
        vsnprintf(diag_buffer + n, sizeof(diag_buffer) - n, fmt, args);
}

// Before the first begin the slot is empty; the standard handler serves then.
static br_diaghandler *handler(void)
{
    return br_fw.diag ? br_fw.diag : &BrStdioDiagHandler;
}

static br_diag_failure_cbfn *failure_op(void)
{
    return handler()->failure;
}

void BrFailure(const char *fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    diag_format(fmt, args, "Failure: ");
    va_end(args);
    br_diag_failure_cbfn *op = failure_op();
    if (op == nullptr)
        BrAbort();
    op(diag_buffer);
}

void BrWarning(const char *fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    diag_format(fmt, args, "Warning: ");
    va_end(args);
    br_diag_warning_cbfn *op = handler()->warning;
    if (op == nullptr)
        BrAbort();
    op(diag_buffer);
}

void BrFatal(const char *file, int line, const char *fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    diag_format(fmt, args, "FATAL %s:%d\n", file, line);
    va_end(args);
    br_diag_failure_cbfn *op = failure_op();
    if (op == nullptr)
        BrAbort();
    op(diag_buffer);
}

void _BrAssert(const char *condition, const char *file, unsigned line)
{
    br_diag_failure_cbfn *op = failure_op();
    if (op == nullptr)
        BrAbort();
    snprintf(diag_buffer, sizeof(diag_buffer), "ASSERTION FAILED %s:%u: \"%s\"\n", file, line, condition);
    op(diag_buffer);
}

void _BrUAssert(const char *condition, const char *file, unsigned line)
{
    _BrAssert(condition, file, line);
}

void BrAbort(void)
{
    abort();
}

static void stdio_warning(const char *message)
{
    fflush(stdout);
    fputs(message, stderr);
    fputc('\n', stderr);
    fflush(stderr);
}

static void stdio_failure(const char *message)
{
    BrCoreEnd();
    fflush(stdout);
    fputs(message, stderr);
    fputc('\n', stderr);
    fflush(stderr);
    exit(10);
}

br_diaghandler BrStdioDiagHandler = {"Stdio DiagHandler", stdio_warning, stdio_failure};
