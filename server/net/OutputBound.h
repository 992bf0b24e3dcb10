#pragma once

#include <QtGlobal>

namespace telvika::server {

// The limit on one client's unsent output. A frame is admitted while the output not yet taken by
// the client stays within `limit` plus the largest reply queued since the output was last within
// the limit: one large reply (a whole track) may always be sent, and notifications may follow it
// while it drains, but a client that sends requests and never reads is refused soon after.
class OutputBound {
public:
    explicit OutputBound(qint64 limit) : limit_(limit) {}

    // Whether a frame of `frameSize` may be queued behind `unsent` bytes; false: drop the client.
    bool admit(qint64 unsent, qint64 frameSize, bool isReply) {
        if (unsent > limit_ + allowance_) return false;
        if (isReply) allowance_ = unsent <= limit_ ? frameSize : qMax(allowance_, frameSize);
        return true;
    }

private:
    qint64 limit_;
    qint64 allowance_ = 0;
};

}  // namespace telvika::server
