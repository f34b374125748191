#include "entry/ScaleLabel.h"

#include <QStringList>

#include "entry/Booking.h"

namespace entry {

namespace {

// GS1 keeps 20 to 29 for numbers a shop gives out itself; other prefixes are real products.
constexpr int FirstInStorePrefix = 20;
constexpr int LastInStorePrefix = 29;

bool allDigits(const QString& text) {
    for (QChar c : text)
        if (c < u'0' || c > u'9') return false;
    return true;
}

ScaleFormat defaultFormat(int prefix) {
    return {5, prefix == 29 ? ScaleFormat::Carries::Price : ScaleFormat::Carries::Weight};
}

}  // namespace

QString scalePrefixKey(int prefix) {
    return QStringLiteral("Prefix%1").arg(prefix);
}

QString formatText(const ScaleFormat& format) {
    return QStringLiteral("%1 %2")
        .arg(format.itemDigits)
        .arg(format.carries == ScaleFormat::Carries::Price ? u"price" : u"weight");
}

std::optional<ScaleFormat> parseFormat(const QString& text) {
    const QStringList parts = text.simplified().split(u' ');
    if (parts.size() != 2) return std::nullopt;
    bool ok = false;
    ScaleFormat format;
    format.itemDigits = parts[0].toInt(&ok);
    // At least one digit is left for the value.
    if (!ok || format.itemDigits < 1 || format.valueDigits() < 1) return std::nullopt;
    const QString carries = parts[1].toLower();
    if (carries == u"weight")
        format.carries = ScaleFormat::Carries::Weight;
    else if (carries == u"price")
        format.carries = ScaleFormat::Carries::Price;
    else
        return std::nullopt;
    return format;
}

ScaleFormats ScaleFormats::defaults() {
    ScaleFormats formats;
    for (int prefix : {27, 28, 29})
        formats.set(prefix, defaultFormat(prefix));
    return formats;
}

ScaleFormats ScaleFormats::load(const ScaleSettingsStore& store) {
    QString prefixes = store.read(ScalePrefixesKey);
    if (prefixes.trimmed().isEmpty()) {
        prefixes = QStringLiteral("27 28 29");
        store.write(ScalePrefixesKey, prefixes);
    }
    ScaleFormats formats;
    for (const QString& word : prefixes.simplified().split(u' ')) {
        bool ok = false;
        const int prefix = word.toInt(&ok);
        if (!ok || word.size() != 2 || prefix < FirstInStorePrefix || prefix > LastInStorePrefix)
            continue;
        const QString key = scalePrefixKey(prefix);
        const QString text = store.read(key);
        if (text.trimmed().isEmpty()) {
            formats.set(prefix, defaultFormat(prefix));
            store.write(key, formatText(defaultFormat(prefix)));
        } else if (const std::optional<ScaleFormat> format = parseFormat(text)) {
            formats.set(prefix, *format);
        }
    }
    return formats;
}

const ScaleFormat* ScaleFormats::forPrefix(int prefix) const {
    const auto it = m_formats.find(prefix);
    return it == m_formats.end() ? nullptr : &it->second;
}

QString ScaleLabel::valueText() const {
    const QLocale turkish(QLocale::Turkish, QLocale::Turkey);
    return carries == ScaleFormat::Carries::Weight
               ? kilograms.toString(turkish, 3, true) + QStringLiteral(" kg")
               : price.toString(turkish, 2, true) + QStringLiteral(" TL");
}

QString ScaleLabel::boxText() const {
    return carries == ScaleFormat::Carries::Weight ? kilograms.toString(QLocale(), 0, true)
                                                   : price.toString(QLocale(), 0, true);
}

void ScaleLabel::applyTo(BookingInput& input) const {
    input.priceEntry = false;
    input.quantity = kilograms;
    if (carries == ScaleFormat::Carries::Price)
        input.labelPrice = price;
    else
        input.labelPrice.reset();
}

std::optional<ScaleLabel> readScaleLabel(const QString& text, const ScaleFormats& formats) {
    if (text.size() != 13 || !allDigits(text)) return std::nullopt;
    if (eanCheckDigit(text.left(12)) != text[12].digitValue()) return std::nullopt;
    ScaleLabel label;
    label.prefix = text.left(2).toInt();
    const ScaleFormat* format = formats.forPrefix(label.prefix);
    if (!format) return std::nullopt;
    label.code = text;
    label.carries = format->carries;
    label.itemNumber = text.mid(2, format->itemDigits);
    const qint64 digits = text.mid(2 + format->itemDigits, format->valueDigits()).toLongLong();
    // Grams are thousandths of a kilogram, a price's hundredths are hundredths of a lira.
    if (format->carries == ScaleFormat::Carries::Weight)
        label.kilograms = core::Quantity::fromUnits(digits * (core::Quantity::Scale / 1000));
    else
        label.price = core::Money::fromUnits(digits * (core::Money::Scale / 100));
    return label;
}

}  // namespace entry
