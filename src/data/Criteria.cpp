#include "data/Criteria.h"

#include <QRegularExpression>

#include "core/TurkishText.h"
#include "data/DatabaseError.h"

namespace data {

QString quoteField(const QString& field) {
    static const QRegularExpression identifier(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    if (!identifier.match(field).hasMatch())
        throw DatabaseError(QStringLiteral("Geçersiz alan adı: %1").arg(field));
    return u'"' + field + u'"';
}

Criteria Criteria::nothingMatches() {
    // No text of the books holds a NUL (the server cannot store one), so none is found.
    return Criteria(QStringLiteral("1 = 0"), {});
}

Criteria Criteria::equals(const QString& field, const QVariant& value) {
    const QString f = quoteField(field);
    if (value.typeId() == QMetaType::QString) {
        const QString text = value.toString();
        if (text.contains(QChar(0))) return nothingMatches();
        // A text without letters folds to itself: compare directly so the engine can use its index.
        if (core::isCaseless(text)) return Criteria(f + QStringLiteral(" = ?"), {text});
        const QString folded = core::foldTurkish(text);
        return Criteria(QStringLiteral("trfold(%1) = ?").arg(f), {folded},
                        TextTest{TextTest::Kind::Equals, field, folded});
    }
    return Criteria(f + QStringLiteral(" = ?"), {value});
}

Criteria Criteria::startsWith(const QString& field, const QString& text) {
    if (text.contains(QChar(0))) return nothingMatches();
    // A range on the folded text: literal (no wildcard exists in it) and usable by an index.
    const QString folded = core::foldTurkish(text);
    const QString upper =
        folded + QChar(QChar::highSurrogate(0x10FFFF)) + QChar(QChar::lowSurrogate(0x10FFFF));
    return Criteria(QStringLiteral("(trfold(%1) >= ? AND trfold(%1) < ?)").arg(quoteField(field)),
                    {folded, upper}, TextTest{TextTest::Kind::Prefix, field, folded});
}

Criteria Criteria::operator&&(const Criteria& other) const {
    QVariantList params = m_params;
    params += other.m_params;
    return Criteria(QStringLiteral("(%1) AND (%2)").arg(m_sql, other.m_sql), params);
}

}  // namespace data
