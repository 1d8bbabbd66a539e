#include "tools/scenegen/scene_random.h"

#include <cmath>
#include <numbers>

double SceneRandom::unit() {
    constexpr double twoTo32 = 4294967296.0;
    return static_cast<double>(engine_()) / twoTo32;
}

int SceneRandom::integer(int low, int high) {
    const auto span = static_cast<std::uint64_t>(static_cast<std::int64_t>(high) - low + 1);
    return low + static_cast<int>(engine_() % span);
}

double SceneRandom::real(double low, double high) {
    return low + (high - low) * unit();
}

double SceneRandom::gaussian() {
    const double u1 = 1.0 - unit(); // in (0, 1], keeps the logarithm finite
    const double u2 = unit();
    return std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * std::numbers::pi * u2);
}

bool SceneRandom::chance(double probability) {
    return unit() < probability;
}
