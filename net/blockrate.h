/* The block cycle of the bit-rate limited downloads, as arithmetic only: the
 * size of a block for a rate, the pause after a block, and the clock the
 * cycle is measured with. No request, file or log is touched here, so both
 * the plain and the resumable bit-rate download use it.
 *
 * A download at "DataTransferRate_KBps" R fetches blocks of R x 500 bytes
 * and stretches each block cycle (request, body, pause) to 600 ms; a block
 * that took 450 ms or more is followed by a pause of 100 ms only. Worked
 * example, R = 1024 (also the rate used for 0):
 *
 *   block size             1024 x 500 = 512000 bytes
 *   block took 200 ms      pause 600 - 200 = 400 ms, cycle 600 ms
 *   block took 449 ms      pause 151 ms, cycle 600 ms
 *   block took 450 ms      pause 100 ms, cycle 550 ms
 *   block took 2000 ms     pause 100 ms, cycle 2100 ms
 *
 * so at most 512000 bytes per 600 ms (about 833 KiB/s) reach the file, and
 * a slow network is not held back by more than 100 ms per block. The two
 * clock readings of a cycle are milliseconds of the local day; their
 * difference is taken unsigned, so a cycle across midnight counts as a long
 * block (a pause of 100 ms), never as a negative one. */
#ifndef VQ_NET_BLOCKRATE_H
#define VQ_NET_BLOCKRATE_H

#include <windows.h>

/* Bytes per block for `rateKBps` (rate x 500; the default rate for 0). */
DWORD BitrateBlockSize(DWORD rateKBps);

/* Pause after a block that took `elapsedMs`: 600 - elapsed below 450 ms,
 * else 100 ms. */
DWORD BitratePauseMs(DWORD elapsedMs);

/* Milliseconds of the day on the local clock: a block cycle's two readings
 * (their difference taken unsigned, so one across midnight counts as long). */
DWORD BitrateClockMs(void);

#endif
