/* Numbered picture sequences: "<base>0000.<ext>", "<base>0001.<ext>", ... up to the first number that
 * does not load. Buttons load theirs from the current picture pack, the ball frames from files. */
#ifndef TERROW_SEQLOAD_H
#define TERROW_SEQLOAD_H

#include <stdint.h>

struct br_pixelmap;

#ifdef __cplusplus
extern "C" {
#endif

/* Where a sequence comes from: the current pack through TrLoadPx, or files through TrLoadPicture
 * (".bmp" names to the BMP loader). */
#define TR_SEQ_PACK 0
#define TR_SEQ_FILE 1
#define TR_SEQ_MAX 256

/* The name of frame `n`: base, n in four digits, "." and ext. */
void TrSequenceName(const char *base, int32_t n, const char *ext, char *out, int32_t size);
/* Loads up to `max` frames into `out` (registered by name, so a second load finds them); the count.
 * The missing frame that ends a sequence is no warning. */
int32_t TrLoadSequence(const char *base, const char *ext, int32_t source, struct br_pixelmap **out, int32_t max);
/* A button's masks: "a_" put in front of the base's last name ("start\co" -> "start\a_co"). */
void TrMaskBase(const char *base, char *out, int32_t size);

#ifdef __cplusplus
}
#endif

#endif
