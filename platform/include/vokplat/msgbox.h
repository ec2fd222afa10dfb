/* Test and automation switches of MessageBoxA.
 *
 * Answers: a box takes the next queued answer when there is one (pushed here, or listed in
 * VOK_MSGBOX_ANSWERS, e.g. "yes,no,ok"; names ok cancel abort retry ignore yes no, numbers 1..7, or
 * "default"). An answer the box does not offer is used up and the default button answers instead.
 * Without a queued answer a box is shown with SDL where a display exists and VOK_HEADLESS is unset;
 * otherwise the default button answers.
 *
 * Log: every box and beep is one line, e.g.
 *   box caption="VOK ERROR" text="No disc\n" type=0x30 answer=IDOK
 *   beep type=0xffffffff
 * kept in memory for PlatMsgBoxLog, appended to the file VOK_MSGBOX_LOG names, and written to stderr
 * when VOK_MSGBOX_STDERR=1. Newlines, quotes and backslashes of texts are escaped. */
#ifndef VOKPLAT_MSGBOX_H
#define VOKPLAT_MSGBOX_H

#include "win32/winmisc.h"

WIN32_BEGIN

/* Queues one answer (IDOK..IDNO, or 0 for the default button). */
PLATFORM_API void PlatMsgBoxPushAnswer(int answer);
/* Forgets the queue and the log, then reads VOK_MSGBOX_ANSWERS again. */
PLATFORM_API void PlatMsgBoxReset(void);
/* Copies the log (NUL-ended, cut to fit) and answers its full length. */
PLATFORM_API size_t PlatMsgBoxLog(char* out, size_t out_size);

WIN32_END

#endif
