/* The runtime library's thread start and end. The threads are the platform's (win32/winsync.h):
 * waitable, suspendable, and stopped cooperatively. */
#ifndef WIN32_PROCESS_H
#define WIN32_PROCESS_H

#include "win32/wintypes.h"

WIN32_BEGIN

/* Answers the thread's handle, or (uintptr_t)-1 on failure. The handle closes itself when the
 * thread ends, so it may be waited on only while the thread is known to run. */
PLATFORM_API uintptr_t _beginthread(void (*start)(void*), unsigned stack_size, void* arg);
/* Answers the thread's handle (closed by the caller with CloseHandle), or 0 on failure;
 * init_flag may be CREATE_SUSPENDED. */
PLATFORM_API uintptr_t _beginthreadex(void* security, unsigned stack_size,
                                      unsigned (*start)(void*), void* arg, unsigned init_flag,
                                      unsigned* thread_id);
PLATFORM_API void _endthread(void);
PLATFORM_API void _endthreadex(unsigned exit_code);

WIN32_END

#endif
