#include "engine/RandomDelay.h"

#include <random>

namespace kes {

int drawUniformly(int low, int high) {
    thread_local std::mt19937 generator{std::random_device{}()};
    return std::uniform_int_distribution<int>(low, high)(generator);
}

} // namespace kes
