// What the kernel tells about a running process, from /proc: processor time
// used and resident memory. For measuring the panel from outside (a child
// process) or from inside (pid 0 reads /proc/self).
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

namespace halvorn::process {

// User plus system processor seconds used so far, in clock ticks' steps
// (10 ms); nothing when the process is gone.
std::optional<double> CpuSeconds(pid_t pid);

// Peak resident size (VmHWM) and current resident size (VmRSS) in KiB.
std::optional<long> PeakResidentKiB(pid_t pid);
std::optional<long> ResidentKiB(pid_t pid);

// How often the process's main thread gave up the processor to wait and
// was woken again (voluntary context switches) so far.
std::optional<long> WakeUps(pid_t pid);

// Open file descriptors of the process.
std::optional<int> OpenDescriptors(pid_t pid);

// Busy processor time of the whole machine so far, in seconds (all cores).
double MachineBusySeconds();

// The load averages over 1, 5 and 15 minutes, as /proc/loadavg writes them.
std::string LoadAverage();

}  // namespace halvorn::process
