// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// How the C library's allocator hands memory back to the system. By default it gives blocks of
// a few hundred kilobytes their own mappings and returns freed memory at the top of the heap soon;
// the next block of that size then starts on fresh pages, and on virtual machines each first
// touch of a page is dear. The shared page of a large library (megabytes, built again after each
// change), the archives and the recording buffers are such blocks. Applied once at start-up.
class HeapTuning
{
public:
    // Blocks below 32 MB come from the heap, and up to 32 MB freed at its top are kept for the
    // next ones: within the bounds the allocator's own adaptive thresholds can reach (32 MB for
    // the first, twice that for the second), fixed from the start instead of learnt.
    static void apply();

    static constexpr int kMmapThresholdBytes = 32 * 1024 * 1024;
    static constexpr int kTrimThresholdBytes = 32 * 1024 * 1024;
};
