#pragma once

#include <QString>
#include <QVariant>
#include <QVariantList>
#include <optional>

namespace data {

/// A search condition built from typed parts and always bound as parameters, so no quote or
/// wildcard in a searched text can break or widen the search. Texts compare as our users expect:
/// without regard to case, Turkish-aware.
class Criteria {
  public:
    /// field = value (texts compared case-insensitively).
    static Criteria equals(const QString& field, const QVariant& value);
    /// field begins with text, matched literally.
    static Criteria startsWith(const QString& field, const QString& text);

    Criteria operator&&(const Criteria& other) const;

    /// SQLite condition with ? placeholders, and the values to bind in order.
    const QString& sql() const { return m_sql; }
    const QVariantList& params() const { return m_params; }

    /// A single case-insensitive text test on one field, which a recordset can answer from
    /// folded values it keeps in memory instead of asking the engine to fold every row.
    struct TextTest {
        enum class Kind { Equals, Prefix };
        Kind kind;
        QString field;
        QString folded;
    };
    const std::optional<TextTest>& textTest() const { return m_textTest; }

  private:
    static Criteria nothingMatches();
    Criteria(QString sql, QVariantList params, std::optional<TextTest> test = std::nullopt)
        : m_sql(std::move(sql)), m_params(std::move(params)), m_textTest(std::move(test)) {}
    QString m_sql;
    QVariantList m_params;
    std::optional<TextTest> m_textTest;
};

/// Quotes a field name for SQL; throws DatabaseError unless it is a plain identifier.
QString quoteField(const QString& field);

}  // namespace data
