#pragma once

#include <cstdint>

namespace telvika {

// A flag shared between handlers, kept as a 32-bit value: any non-zero value reads as true and
// true is stored with all bits set, as the player's other components expect.
class Bool32 {
public:
    static constexpr std::int32_t True = -1;  // all 32 bits set
    static constexpr std::int32_t False = 0;

    constexpr Bool32() = default;
    constexpr Bool32(bool value) : raw_(value ? True : False) {}  // NOLINT: implicit by design

    static constexpr Bool32 fromRaw(std::int32_t raw) {
        Bool32 b;
        b.raw_ = raw;
        return b;
    }

    constexpr operator bool() const { return raw_ != 0; }  // NOLINT: implicit by design
    constexpr Bool32& operator=(bool value) {
        raw_ = value ? True : False;
        return *this;
    }
    constexpr std::int32_t raw() const { return raw_; }

private:
    std::int32_t raw_ = False;
};

static_assert(sizeof(Bool32) == 4);

}  // namespace telvika
