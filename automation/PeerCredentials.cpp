#include "PeerCredentials.h"

#if defined(Q_OS_UNIX)
#include <sys/socket.h>
#include <sys/types.h>
#include <unistd.h>
#endif

namespace telvika::automation {

qint64 currentUserId() {
#if defined(Q_OS_UNIX)
    return static_cast<qint64>(::geteuid());
#else
    return 0;
#endif
}

std::optional<qint64> peerUserId(qintptr socketDescriptor) {
    if (socketDescriptor < 0) return std::nullopt;
#if defined(Q_OS_LINUX)
    struct ucred credentials {};
    socklen_t length = sizeof(credentials);
    if (::getsockopt(static_cast<int>(socketDescriptor), SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0 ||
        length != sizeof(credentials))
        return std::nullopt;
    return static_cast<qint64>(credentials.uid);
#elif defined(Q_OS_UNIX)
    uid_t uid = 0;
    gid_t gid = 0;
    if (::getpeereid(static_cast<int>(socketDescriptor), &uid, &gid) != 0) return std::nullopt;
    return static_cast<qint64>(uid);
#else
    return std::nullopt;
#endif
}

}  // namespace telvika::automation
