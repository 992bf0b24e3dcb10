#pragma once

#include "common/Error.h"

namespace telvika::automation {

// A call cut short because the server closed after announcing it: the announcement (OnCloseServer)
// follows through the event loop, so the caller has nothing of its own to report.
class ServerClosedError : public Error {
public:
    using Error::Error;
};

}  // namespace telvika::automation
