/* The block cycle of the bit-rate limited downloads (see blockrate.h). */
#include "net/blockrate.h"
#include "net/netlimits.h"

DWORD BitrateBlockSize(DWORD rateKBps)
{
    return (rateKBps ? rateKBps : VQ_NET_DEFAULT_RATE_KBPS) * VQ_NET_BLOCK_BYTES_PER_KBPS;
}

DWORD BitratePauseMs(DWORD elapsedMs)
{
    return elapsedMs < VQ_NET_SLOW_BLOCK_MS ? VQ_NET_BLOCK_CYCLE_MS - elapsedMs : VQ_NET_SLOW_BLOCK_PAUSE_MS;
}

DWORD BitrateClockMs(void)
{
    SYSTEMTIME t;
    GetLocalTime(&t);
    return ((t.wHour * 60u + t.wMinute) * 60u + t.wSecond) * 1000u + t.wMilliseconds;
}
