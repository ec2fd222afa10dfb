/* The platform's sound output and its recorder, for tests and automation.
 *
 * Everything that plays (sound buffers, CD tracks) goes through one mixer that produces 16-bit stereo
 * at 44100 Hz. With an audio device (sdl backend) the device pulls the mix; headless (VOK_HEADLESS=1),
 * or when no device opens, the recorder pulls it instead, following the platform clock: under the
 * virtual clock playback moves only when the clock does. The recorder keeps a log of what played and
 * the mixed samples, which the functions below read. */
#ifndef VOKPLAT_SOUND_H
#define VOKPLAT_SOUND_H

#include "win32/wintypes.h"

WIN32_BEGIN

#define VOK_SOUND_RATE 44100

/* One play of a sound buffer or of a CD track, from start to stop or end. */
typedef struct VokSoundPlay {
    uint32_t buffer;     /* VokSoundBufferSerial of the buffer; 0 for CD audio */
    uint32_t data;       /* identity of the sample data: a buffer and its duplicates share it */
    int32_t cd_track;    /* CD track number, 0 for sound buffers */
    int32_t looping;     /* played with DSBPLAY_LOOPING (last request while playing) */
    int32_t playing;     /* still playing at the last mix */
    uint64_t start_us;   /* platform clock when it started */
    uint64_t end_us;     /* platform clock when it stopped or ended (valid when not playing) */
    uint64_t frames;     /* output frames it was mixed into */
} VokSoundPlay;

/* One MM_MCINOTIFY the CD device sent (also posted to the window). */
typedef struct VokSoundCdNotify {
    HWND window;
    uint32_t code;       /* MCI_NOTIFY_SUCCESSFUL, _ABORTED, _SUPERSEDED */
    uint32_t device;     /* MCI device id */
    uint64_t at_us;      /* platform clock */
} VokSoundCdNotify;

/* True when the recorder, not an audio device, consumes the mix. */
PLATFORM_API BOOL VokSoundIsRecording(void);

/* Mixes up to the platform clock now (the recorder also does so on every sound call). */
PLATFORM_API void VokSoundSync(void);

/* Moves the virtual platform clock forward and mixes up to it (a test's way of letting sound play). */
PLATFORM_API void VokSoundAdvanceUs(uint64_t us);

/* Forgets the log and the recorded samples; recording starts again at the current clock. Sounds that
 * still play get a new log entry from now on. */
PLATFORM_API void VokSoundRecorderReset(void);

/* Copies up to max log entries in order of start; answers how many there are. */
PLATFORM_API size_t VokSoundGetPlays(VokSoundPlay *out, size_t max);

/* Copies up to max CD notifications in order; answers how many there are. */
PLATFORM_API size_t VokSoundGetCdNotifies(VokSoundCdNotify *out, size_t max);

/* Recorded mix: frame 0 is the clock time of the last reset (VokSoundRecordStartUs). At most 60 s
 * are kept after a reset. ReadMix copies interleaved left/right samples and answers the frames copied. */
PLATFORM_API uint64_t VokSoundRecordStartUs(void);
PLATFORM_API size_t VokSoundRecordedFrames(void);
PLATFORM_API size_t VokSoundReadMix(size_t first_frame, int16_t *out, size_t frames);

/* The serial number of a sound buffer (an IDirectSoundBuffer pointer), as in VokSoundPlay.buffer. */
PLATFORM_API uint32_t VokSoundBufferSerial(const void *buffer);

/* Marks every sound buffer as lost, as when another program takes the sound device: they stop,
 * report DSBSTATUS_BUFFERLOST and need Restore and new data. */
PLATFORM_API void VokSoundLoseBuffers(void);

WIN32_END

#endif
