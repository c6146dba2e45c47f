// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/system/HeapTuning.h"

#include <malloc.h>

void HeapTuning::apply()
{
#if defined(__GLIBC__)
    mallopt(M_MMAP_THRESHOLD, kMmapThresholdBytes);
    mallopt(M_TRIM_THRESHOLD, kTrimThresholdBytes);
#endif
}
