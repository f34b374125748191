#pragma once

#include <QString>

#include <functional>
#include <map>
#include <optional>
#include "core/Ean.h"

#include "core/Money.h"

namespace entry {

struct BookingInput;

/// How a scale prints one prefix's labels: EAN-13 = prefix (2) + item number + value + check.
struct ScaleFormat {
    enum class Carries { Weight, Price };
    int itemDigits = 5;
    Carries carries = Carries::Weight;  // grams, or a price in hundredths
    int valueDigits() const { return 13 - 2 - itemDigits - 1; }
};

/// One text value per key of the settings section the formats live in; `read` gives an empty
/// text for a missing key.
struct ScaleSettingsStore {
    std::function<QString(const QString& key)> read;
    std::function<bool(const QString& key, const QString& value)> write;
};

/// The section of the application settings that holds the formats, and its keys:
///   Prefixes=27 28 29        (the prefixes read as scale labels, 20 to 29, space-separated)
///   Prefix27=5 weight        (item-number digits, then "weight" in grams or "price" in
///   Prefix29=5 price          hundredths)
/// Spaces, not commas: the INI store would read a comma-separated value as a list.
inline const QString ScaleSection = QStringLiteral("ScaleLabels");
inline const QString ScalePrefixesKey = QStringLiteral("Prefixes");
QString scalePrefixKey(int prefix);

/// The formats of a shop's scales, by prefix.
class ScaleFormats {
  public:
    /// 27 and 28 weigh, 29 prices; five item-number digits each.
    static ScaleFormats defaults();
    /// Reads the formats; keys that are missing are written with their defaults, so the section
    /// shows what to change. A prefix whose format cannot be read is not used (and not rewritten).
    static ScaleFormats load(const ScaleSettingsStore& store);

    const ScaleFormat* forPrefix(int prefix) const;
    void set(int prefix, ScaleFormat format) { m_formats[prefix] = format; }

  private:
    std::map<int, ScaleFormat> m_formats;
};

/// "5 weight"; and back, nothing for a text that is not a usable format.
QString formatText(const ScaleFormat& format);
std::optional<ScaleFormat> parseFormat(const QString& text);

/// What a scale's label says.
struct ScaleLabel {
    QString code;        // the 13 digits read
    QString itemNumber;  // with its leading zeros
    int prefix = 0;
    ScaleFormat::Carries carries = ScaleFormat::Carries::Weight;
    core::Quantity kilograms;  // a weight label's
    core::Money price;         // a price label's

    /// Nothing weighed or priced.
    bool isZero() const { return kilograms.isZero() && price.isZero(); }

    /// "0,456 kg" or "12,50 TL".
    QString valueText() const;
    /// The kilograms or the price as the number box shows them ("0,456", "12,5").
    QString boxText() const;
    /// The label booked as a typed quantity would be: the kilograms, or the price whose quantity
    /// the booking works out at the line's price.
    void applyTo(BookingInput& input) const;
};

/// A scanned text read as a label: 13 digits with a right EAN-13 check digit and a prefix of
/// `formats`. Anything else is no label.
std::optional<ScaleLabel> readScaleLabel(const QString& text, const ScaleFormats& formats);

using core::eanCheckDigit;

}  // namespace entry
