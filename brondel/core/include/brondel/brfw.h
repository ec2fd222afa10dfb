/* Framework state of one 3D library instance: begin and end, the host records,
 * reporting, last error and exception frames. */
#ifndef BRONDEL_BRFW_H
#define BRONDEL_BRFW_H

#include <setjmp.h>
#include <stdarg.h>

#include "brondel/brtypes.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Result codes of every core operation that can fail. */
#define BRE_OK 0x0000
#define BRE_UNKNOWN_TOKEN 0x1001
#define BRE_FAIL 0x1002
#define BRE_NO_MEMORY 0x1003
#define BRE_OVERFLOW 0x1004
#define BRE_NOT_ACTIVE 0x1006
#define BRE_ALREADY_ACTIVE 0x1007
#define BRE_UNSUPPORTED 0x1008

/* Diagnostic handler: each operation receives the finished message text. */
typedef void br_diag_warning_cbfn(const char *message);
typedef void br_diag_failure_cbfn(const char *message);

typedef struct br_diaghandler {
    const char *identifier;
    br_diag_warning_cbfn *warning;
    br_diag_failure_cbfn *failure;
} br_diaghandler;

/* Memory allocator used by every allocation of the instance. */
typedef struct br_allocator {
    const char *identifier;
    void *(*allocate)(br_size_t size, br_uint_8 type);
    void (*free)(void *block);
    br_uint_32 (*inquire)(br_uint_8 type);
    br_uint_32 (*align)(br_uint_8 type); /* may be null: no guarantee */
} br_allocator;

/* Filesystem record: every file access of the instance goes through it. */
typedef int br_mode_test_cbfn(br_uint_8 *magics, br_size_t n_magics);

typedef struct br_filesystem {
    const char *identifier;
    br_uint_32 (*attributes)(void);
    void *(*open_read)(const char *name, br_size_t n_magics, br_mode_test_cbfn *identify, int *mode_result);
    void *(*open_write)(const char *name, int text);
    void (*close)(void *f);
    int (*eof)(void *f);
    int (*getchr)(void *f);
    void (*putchr)(int c, void *f);
    br_size_t (*read)(void *buf, br_size_t size, br_size_t n, void *f);
    br_size_t (*write)(const void *buf, br_size_t size, br_size_t n, void *f);
    br_size_t (*getline)(char *buf, br_size_t buf_len, void *f);
    void (*putline)(const char *buf, void *f);
    void (*advance)(br_size_t count, void *f);
} br_filesystem;

br_error BrFwBegin(void);
br_error BrFwEnd(void);
br_error BrCoreBegin(void);
br_error BrCoreEnd(void);

br_diaghandler *BrDiagHandlerSet(br_diaghandler *newdh);
br_filesystem *BrFilesystemSet(br_filesystem *newfs);
br_allocator *BrAllocatorSet(br_allocator *newal);

/* Reporting. Each returns when the handler's operation returns. */
void BrFailure(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
void BrWarning(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
void BrFatal(const char *file, int line, const char *fmt, ...) __attribute__((format(printf, 3, 4)));
void _BrAssert(const char *condition, const char *file, unsigned line);
void _BrUAssert(const char *condition, const char *file, unsigned line);
void BrAbort(void) __attribute__((noreturn));

void BrLastErrorSet(void *pointer, br_uint_32 value);
void *BrLastErrorGet(void);

/* Exception frames. The caller saves its context with setjmp(frame->context) right after
 * _BrExceptionBegin; a throw comes back there with the type as setjmp's result. Only plain C-style
 * code (no object with a destructor) may live between the save and a throw. */
typedef struct br_exception_handler {
    struct br_exception_handler *prev;
    jmp_buf context;
} br_exception_handler;

br_exception_handler *_BrExceptionBegin(void);
void _BrExceptionEnd(void);
/* With no frame open it reports the failure and returns to its caller. */
void _BrExceptionThrow(br_int_32 type, void *value);
br_int_32 _BrExceptionValueFetch(br_int_32 type, void **evp);
void *_BrExceptionResource(void);

#ifdef __cplusplus
}
#endif

#endif
