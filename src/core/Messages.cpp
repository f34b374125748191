#include "core/Messages.h"

namespace core {
Messages::~Messages() = default;
}
