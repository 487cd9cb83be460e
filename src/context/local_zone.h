#pragma once

namespace rio {

// Lets the C library read the local time zone once instead of at every date
// conversion. Without TZ, glibc checks /etc/localtime again on each local
// time conversion, and the run converts a few dates per row it writes.
// Changes nothing when TZ is set or on Windows.
void cacheLocalZone();

} // namespace rio
