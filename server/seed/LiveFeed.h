#pragma once

#include <QObject>

#include <memory>

namespace telvika::server {

class Store;

// Keeps the demo fleet moving: on every tick the vehicles' new positions up to now are stored and
// dataStored() is emitted. Needs a store seeded by DemoSeeder.
class LiveFeed : public QObject {
    Q_OBJECT
public:
    // Throws telvika::Error when the store holds no demo fleet or the build has no demo generator.
    LiveFeed(Store& store, QObject* parent = nullptr);
    ~LiveFeed() override;

    // Stores the points up to `now` (an instant, UTC days); emits dataStored() when there were any.
    // When the store refuses them they are kept and offered again on the next tick.
    int tick(double now);

signals:
    void dataStored(int points);

private:
    struct State;
    Store& store_;
    std::unique_ptr<State> state_;
};

}  // namespace telvika::server
