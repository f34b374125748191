#pragma once

namespace modes {

/// Whose goods are handled: the company's branches, or its customers.
enum class WorkKind { Warehouse = 0, Account = 1 };

/// What is recorded; the values are the indexes of the operation boxes.
enum class Operation { None = -1, Sale = 0, Count = 1, Purchase = 2 };

}  // namespace modes
