#pragma once

namespace telvika {

// The large arrays of this system (a month of telemetry, a million-point track, its text and its
// drawing values) are touched page by page when first written. On the virtual machines the system
// runs on, every fresh 4 KB page costs about 15 us, so a 166 MB array costs 0.6 s of page faults
// alone; on 2 MB pages the same array costs a few milliseconds. glibc's malloc asks the kernel for
// such pages (transparent huge pages, on request) only when told at the start of the process,
// through the GLIBC_TUNABLES environment variable. So a program calls this first thing in main,
// before any thread starts: when the tunable is not set yet and the kernel grants huge pages on
// request, the program starts itself once more, in place (the same process), with
// glibc.malloc.hugetlb=1 added. Any setting of glibc.malloc.hugetlb already in the environment is
// kept as it is (glibc.malloc.hugetlb=0 turns this off). The environment is inherited, so a server
// started by the player gets the same. Where exec fails, or outside Linux and glibc, or in a
// sanitizer build (whose allocator is not glibc's), the program goes on as it was started.
void useLargeMemoryPages(char** argv);

}  // namespace telvika
