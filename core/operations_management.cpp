#include "operations.h"

std::span<const Operation> management_operations() { return {}; }
