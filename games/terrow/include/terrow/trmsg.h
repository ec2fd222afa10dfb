/* Terrow's message table with its dictionary files, the error log and the reports: a warning (a box
 * that also makes the start-up fail), a plain box, and a fatal report that ends the process. */
#ifndef TERROW_TRMSG_H
#define TERROW_TRMSG_H

#include <stdint.h>

#define TR_MESSAGE_COUNT 70
#define TR_DICT_BUFFER 4096
#define TR_LOG_SIZE 4096
#define TR_REPORT_SIZE 1024

/* Message ids the module names. */
enum {
    TR_MSG_UNSAVED = 0,
    TR_MSG_HELP_F1 = 1,
    TR_MSG_NO_BALLS = 2,
    TR_MSG_NO_START = 3,
    TR_MSG_CORNER_ONLY = 11,
    TR_MSG_SAVE_FAILED = 12,
    TR_MSG_POSITION_FAILED = 13,
    TR_MSG_NO_SPACE = 14,
    TR_MSG_NEEDS_START = 15,
    TR_MSG_FORBIDDEN = 16,
    TR_MSG_ONLY_BALLS = 17,
    TR_MSG_IRON_BALL = 18, /* 18..28: the display texts of the element types */
    TR_MSG_GOAL = 28,
    TR_MSG_SET_DIRECTION = 29,
    TR_MSG_NOT_AVAILABLE = 30,
    TR_MSG_CHALLENGE = 31,
    TR_MSG_SAVE_LEVEL = 36,
    TR_MSG_LOAD_LEVEL = 37,
    TR_MSG_ALL_DIRECTIONS = 38,
    TR_MSG_SURE = 39,
    TR_MSG_NO_SAVE_FILE = 40,
    TR_MSG_BALL_LAYOUT = 41, /* 41..43 */
    TR_MSG_START_LAYOUT = 44, /* 44..45 */
    TR_MSG_CAMERA_SAVED = 46,
    TR_MSG_TEST_OK = 47,
    TR_MSG_PLAYABLE = 48,
    TR_MSG_BALLS_NEEDED = 49,
    TR_MSG_ONE_BALL = 50,
    TR_MSG_GET_ONE = 51,
    TR_MSG_GET_N = 52,
    TR_MSG_SECRET = 53,
};

/* Message-box types the reports use. */
#define TR_MB_OK 0x00u
#define TR_MB_EXCLAMATION 0x30u

#ifdef __cplusplus
extern "C" {
#endif

/* The entry, "" for an id outside 0..69. */
const char *TrMessage(int32_t id);
/* Reads a dictionary file into the table: 1 when the file was read, 0 when it is missing. An entry
 * whose printf conversions differ from the default's is refused (logged) and the default kept. */
int32_t TrLoadDictionary(const char *path);
/* The dictionary for the interface language: "ge.dic" for 2, "fr.dic" for 3, relative to the working
 * folder; other languages keep the defaults. */
int32_t TrLoadLanguage(int32_t language);
/* Every entry back to its default. */
void TrResetMessages(void);

/* Appends text and "\n" to the error log when both fit. 0. */
int TrLog(const char *text);
const char *TrErrorLog(void);
void TrClearErrorLog(void);

/* Formats (at most 1023 characters), logs and shows the text in an OK box with the exclamation icon;
 * TrWarning also sets the warning flag. */
void TrWarning(const char *format, ...) __attribute__((format(printf, 1, 2)));
void TrWarningNoFlag(const char *format, ...) __attribute__((format(printf, 1, 2)));
/* Formats, sets the warning flag, logs and ends the process with exit code -1. */
__attribute__((noreturn)) void TrFatal(const char *format, ...) __attribute__((format(printf, 1, 2)));
/* The same with the working folder added under a rule. */
__attribute__((noreturn)) void TrFatalCwd(const char *format, ...) __attribute__((format(printf, 1, 2)));

/* Shows a text as it stands (never as a format) in a box of `type`: the answer. */
int TrMessageBox(const char *text, unsigned type);
/* Until the framework's message screens exist, tests and tools take the boxes here; NULL restores the
 * framework's box. */
typedef int (*TrBoxHook)(const char *text, unsigned type);
void TrSetBoxHook(TrBoxHook hook);

#ifdef __cplusplus
}
#endif

#endif
