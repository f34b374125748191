#include "core/Clock.h"

namespace core {
Clock::~Clock() = default;
}
