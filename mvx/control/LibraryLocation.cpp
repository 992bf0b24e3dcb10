#include "LibraryLocation.h"

#include <QCoreApplication>
#include <QFileInfo>

#if defined(Q_OS_UNIX)
#include <dlfcn.h>
#elif defined(Q_OS_WIN)
#include <windows.h>
#endif

namespace mvx {

namespace {
void anchor() {}
}  // namespace

QString libraryFolder() {
#if defined(Q_OS_UNIX)
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&anchor), &info) != 0 && info.dli_fname)
        return QFileInfo(QString::fromLocal8Bit(info.dli_fname)).absolutePath();
#elif defined(Q_OS_WIN)
    HMODULE module = nullptr;
    if (GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           reinterpret_cast<LPCWSTR>(&anchor), &module)) {
        wchar_t path[MAX_PATH];
        const DWORD n = GetModuleFileNameW(module, path, MAX_PATH);
        if (n > 0) return QFileInfo(QString::fromWCharArray(path, int(n))).absolutePath();
    }
#endif
    return QCoreApplication::applicationDirPath();
}

}  // namespace mvx
