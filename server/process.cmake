# The server process around the pure libraries: the store, the demo seeding, the socket server and
# the program. Demo seeding links the demo generator only where that library is part of the build.

# The store: one interface (Store) over an SQLite file or a shared PostgreSQL database.
add_library(telvika_store STATIC
  store/StoreRecords.h
  store/StoreBackend.h
  store/StoreLocation.h store/StoreLocation.cpp
  store/Store.h store/Store.cpp
  store/StoreListener.h store/StoreListener.cpp
  store/SqliteStore.h store/SqliteStore.cpp
  store/StoreSchema.h store/StoreSchema.cpp
  store/StoreFileCheck.h store/StoreFileCheck.cpp
  store/TelemetryReader.h store/TelemetryReader.cpp
  store/TelemetryWriter.h store/TelemetryWriter.cpp
  store/postgres/PgConnection.h store/postgres/PgConnection.cpp
  store/postgres/PgSchema.h store/postgres/PgSchema.cpp
  store/postgres/PgBlocks.h store/postgres/PgBlocks.cpp
  store/postgres/PgTelemetry.h store/postgres/PgTelemetry.cpp store/postgres/PgTelemetryRead.cpp
  store/postgres/PgAnnouncement.h store/postgres/PgAnnouncement.cpp
  store/postgres/PgStore.h store/postgres/PgStore.cpp
)
find_package(SQLite3 REQUIRED)
find_package(PkgConfig REQUIRED)
pkg_check_modules(LIBPQ REQUIRED IMPORTED_TARGET libpq)
target_include_directories(telvika_store PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(telvika_store PUBLIC telvika_compute telvika_common Qt6::Core Qt6::Sql
  PRIVATE SQLite::SQLite3 PkgConfig::LIBPQ)
telvika_warnings(telvika_store)

add_library(telvika_seed STATIC
  seed/DemoSeeder.h seed/DemoSeeder.cpp
  seed/LiveFeed.h seed/LiveFeed.cpp
)
target_link_libraries(telvika_seed PUBLIC telvika_store)
if(TARGET telvika_demo)
  target_link_libraries(telvika_seed PRIVATE telvika_demo)
  target_compile_definitions(telvika_seed PRIVATE TELVIKA_HAVE_DEMO=1)
endif()
telvika_warnings(telvika_seed)

add_library(telvika_server_net STATIC
  net/ComputationRequest.h
  net/ComputedResult.h
  net/ComputationWorker.h net/ComputationWorker.cpp
  net/ServerCore.h net/ServerCore.cpp
  net/ClientSession.h net/ClientSession.cpp
  net/TrackingServer.h net/TrackingServer.cpp
  net/InstanceLock.h net/InstanceLock.cpp
  net/OutputBound.h
)
target_link_libraries(telvika_server_net PUBLIC telvika_store telvika_protocol telvika_automation Qt6::Core Qt6::Network)
telvika_warnings(telvika_server_net)

add_executable(telvika-server
  app/main.cpp
  app/ServerOptions.h app/ServerOptions.cpp
  app/PrivateData.h app/PrivateData.cpp
)
target_include_directories(telvika-server PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(telvika-server PRIVATE telvika_server_net telvika_seed telvika_automation)
telvika_warnings(telvika-server)
