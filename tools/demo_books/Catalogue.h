#pragma once

#include <QString>

#include <vector>
#include "core/Ean.h"

namespace demobooks {

/// One item of the demo catalogue, the same in every company.
struct Item {
    QString code;
    QString name;
    QString barcode;
    QString barcode2;
    QString barcode3;
    QString unit;
    double price = 0;
    double purchasePrice = 0;
    double vat = 0;
    bool hidden = false;
};

/// A deterministic catalogue of `count` items with realistic Turkish names and valid barcodes.
std::vector<Item> makeCatalogue(int count);

using core::eanCheckDigit;

}  // namespace demobooks
