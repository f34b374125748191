#include "data/JetSql.h"

namespace data {

namespace {

bool isWordChar(QChar c) {
    return c.isLetterOrNumber() || c == u'_';
}

bool wordAt(const QString& s, qsizetype i, QStringView word) {
    if (i + word.size() > s.size()) return false;
    if (QStringView(s).mid(i, word.size()).compare(word, Qt::CaseInsensitive) != 0) return false;
    if (i > 0 && isWordChar(s[i - 1])) return false;
    const qsizetype after = i + word.size();
    return after >= s.size() || !isWordChar(s[after]);
}

// Reads a quoted literal starting at s[i] (a quote); returns its content and moves i past it.
QString readLiteral(const QString& s, qsizetype& i) {
    const QChar quote = s[i];
    QString content;
    ++i;
    while (i < s.size()) {
        if (s[i] == quote) {
            if (i + 1 < s.size() && s[i + 1] == quote) {
                content += quote;
                i += 2;
                continue;
            }
            ++i;
            break;
        }
        content += s[i++];
    }
    return content;
}

QString quoteLiteral(const QString& content) {
    QString q = content;
    q.replace(u'\'', QStringLiteral("''"));
    return u'\'' + q + u'\'';
}

}  // namespace

QString jetPatternToLike(const QString& pattern) {
    QString out;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern[i];
        if (c == u'*') {
            out += u'%';
        } else if (c == u'?' || c == u'#') {
            out += u'_';
        } else if (c == u'[') {
            // [x] quotes one character in Jet; character ranges are not used by the terminal.
            const qsizetype close = pattern.indexOf(u']', i + 1);
            const QString inner = close > i ? pattern.mid(i + 1, close - i - 1) : QString(c);
            for (QChar ch : inner) {
                if (ch == u'%' || ch == u'_' || ch == u'\\') out += u'\\';
                out += ch;
            }
            i = close > i ? close : i;
        } else if (c == u'%' || c == u'_' || c == u'\\') {
            out += u'\\';
            out += c;
        } else {
            out += c;
        }
    }
    return out;
}

QString translateJetSql(const QString& sql) {
    QString out;
    out.reserve(sql.size() + 16);
    bool afterLike = false;
    for (qsizetype i = 0; i < sql.size();) {
        const QChar c = sql[i];
        if (c == u'"') {
            // A quoted identifier passes through untouched.
            const qsizetype start = i;
            readLiteral(sql, i);
            out += QStringView(sql).mid(start, i - start);
            afterLike = false;
            continue;
        }
        if (c == u'\'') {
            const QString content = readLiteral(sql, i);
            if (afterLike) {
                out += quoteLiteral(jetPatternToLike(content)) + QStringLiteral(" ESCAPE '\\'");
            } else {
                out += quoteLiteral(content);
            }
            afterLike = false;
            continue;
        }
        if (wordAt(sql, i, u"True")) {
            out += u'1';
            i += 4;
            afterLike = false;
            continue;
        }
        if (wordAt(sql, i, u"False")) {
            out += u'0';
            i += 5;
            afterLike = false;
            continue;
        }
        if (wordAt(sql, i, u"Like")) {
            out += QStringLiteral("LIKE");
            i += 4;
            afterLike = true;
            continue;
        }
        if (!c.isSpace()) afterLike = false;
        out += c;
        ++i;
    }
    return out;
}

}  // namespace data
