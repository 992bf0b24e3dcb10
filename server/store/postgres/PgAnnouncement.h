#pragma once

#include <QString>

#include <optional>

#include "store/StoreBackend.h"

namespace telvika::server {

// The notifications that servers sharing one PostgreSQL store send one another (NOTIFY on one
// channel): the change and the process that made it, so that a server skips its own.
namespace pgannouncement {

inline constexpr const char* Channel = "telvika_changes";

QString encode(StoreEvent event);
// The change another process announced; nothing for this process's own or an unknown payload.
std::optional<StoreEvent> decode(const QString& payload);

}  // namespace pgannouncement

}  // namespace telvika::server
