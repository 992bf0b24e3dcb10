#pragma once

#include <QString>

#include <memory>

class QLockFile;

namespace telvika::server {

// One running server per socket: the server holds this lock, a file beside its socket, from before
// it opens the store until it exits. The system releases it when the process ends, however it ends
// (flock on POSIX systems; QLockFile with stale-lock detection elsewhere).
class InstanceLock {
public:
    InstanceLock();
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // True when this process now holds the lock at `path`. False with *error (Russian) when another
    // process holds it or the file cannot be opened.
    bool acquire(const QString& path, QString* error);
    bool held() const;

private:
    int fd_ = -1;
    std::unique_ptr<QLockFile> lockFile_;
};

}  // namespace telvika::server
