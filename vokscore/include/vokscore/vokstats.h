/* VokScore: best times and statistics. */
#ifndef VOKSCORE_VOKSTATS_H
#define VOKSCORE_VOKSTATS_H

#include <stdint.h>

#include "vokplat/export.h"

#define VOK_SCORE_ENTRY_SIZE 56
#define VOK_SCORE_TABLE 6
#define VOK_SOLVED_FIELDS 120

/* One best-times entry in memory; on disk 56 bytes little-endian in this order. */
typedef struct VokScoreEntry {
    char name[32];  /* player, at most 31 characters; empty in a free entry */
    int32_t result; /* smaller is better; 0 or less marks a free entry */
    int32_t second; /* -1 in a free entry */
    char title[16];
} VokScoreEntry;

/* The statistics record of Terrow's field game (128 bytes). */
typedef struct VokStatRecord {
    int32_t total;
    int32_t solved;
    uint8_t fields[VOK_SOLVED_FIELDS];
} VokStatRecord;

/* 0 when the result placed nowhere (or the field was already solved), -1 otherwise. */
VOK_EXPORT int VokUpdateScores(int kind, uint32_t gameId, int position, int result1, int result2);
/* The rank the record's result reaches in the first table of the current game and level, or -1. */
VOK_EXPORT int VokCheckHighScore(char *nameBuffer);
/* Reads the tables of a game's block (1, -1 when they cannot be read), or for Terrow the solved record
 * (copied to `out`, a VokStatRecord, when given; the answer is the field's solved byte). With no game
 * in free play: 1, and the levels of each game to `out` (five int32) when given. */
VOK_EXPORT int VokLoadStatistic(int kind, uint32_t gameId, int position, void *out);
VOK_EXPORT int VokLoadStatisticFile(int kind, uint32_t gameId, int position, void *out);
/* Takes entry `entry` (0..5) out of the tables of block `block` of a game's file. 1/0. */
VOK_EXPORT int VokRemoveScoreEntry(uint32_t gameId, int block, int entry);

#endif
