#pragma once

#include <QString>

#include "core/Money.h"

namespace data {
class AttachedBooks;
struct Account;
}  // namespace data

namespace posting {

/// Adds `amount` to the account's debit (or credit) and stores it with the balance that results:
/// the larger side less the smaller, on that side; equal sides read as a debit balance of 0.
void storeBalance(data::AttachedBooks& books, const QString& alias, data::Account& account,
                  bool debit, core::Money amount);

}  // namespace posting
