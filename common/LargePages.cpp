#include "LargePages.h"

#include <cstdlib>  // defines __GLIBC__ where the C library is glibc

#if defined(__linux__) && defined(__GLIBC__)
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <string>
#endif

namespace telvika {

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool SanitizerBuild = true;
#else
constexpr bool SanitizerBuild = false;
#endif

}  // namespace

void useLargeMemoryPages(char** argv) {
#if defined(__linux__) && defined(__GLIBC__)
    if (SanitizerBuild || argv == nullptr || argv[0] == nullptr) return;
    const char* current = std::getenv("GLIBC_TUNABLES");
    if (current != nullptr && std::strstr(current, "glibc.malloc.hugetlb") != nullptr) return;
    // "always [madvise] never": huge pages are granted on request unless the kernel says never.
    std::ifstream policy("/sys/kernel/mm/transparent_hugepage/enabled");
    std::string modes;
    if (!std::getline(policy, modes) || modes.find("[never]") != std::string::npos) return;

    const std::string before = current != nullptr ? current : "";
    const std::string value = before.empty() ? "glibc.malloc.hugetlb=1" : before + ":glibc.malloc.hugetlb=1";
    if (setenv("GLIBC_TUNABLES", value.c_str(), 1) != 0) return;
    execv("/proc/self/exe", argv);
    // Not started again: go on with small pages and the environment as it was.
    if (current != nullptr)
        setenv("GLIBC_TUNABLES", before.c_str(), 1);
    else
        unsetenv("GLIBC_TUNABLES");
#else
    (void)argv;
#endif
}

}  // namespace telvika
