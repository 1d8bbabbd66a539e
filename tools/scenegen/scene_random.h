#pragma once
// Seeded random numbers for the scene generator. The arithmetic is written out
// here (instead of the standard distributions, whose results differ between
// library implementations) so that one seed gives one picture everywhere.

#include <cstdint>
#include <random>
#include <span>

class SceneRandom {
public:
    explicit SceneRandom(std::uint32_t seed) : engine_(seed) {}

    // Uniform integer in [low, high], both inclusive.
    int integer(int low, int high);
    // Uniform real number in [low, high).
    double real(double low, double high);
    // Standard normal deviate (Box-Muller).
    double gaussian();
    // True with the given probability.
    bool chance(double probability);
    // A new seed drawn from this stream, for an independent sub-stream.
    std::uint32_t seed() { return engine_(); }

    template <typename T>
    const T& pick(std::span<const T> items) {
        return items[static_cast<std::size_t>(integer(0, static_cast<int>(items.size()) - 1))];
    }

private:
    double unit(); // uniform in [0, 1)

    std::mt19937 engine_;
};
