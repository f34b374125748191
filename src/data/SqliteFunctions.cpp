#include "data/SqliteFunctions.h"

#include <sqlite3.h>

#include "core/TurkishText.h"
#include "data/DatabaseError.h"

namespace data {

namespace {

QString textArg(sqlite3_value* v) {
    const auto* bytes = reinterpret_cast<const char*>(sqlite3_value_text(v));
    return QString::fromUtf8(bytes, sqlite3_value_bytes(v));
}

void trfold(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const QByteArray folded = core::foldTurkish(textArg(argv[0])).toUtf8();
    sqlite3_result_text(ctx, folded.constData(), static_cast<int>(folded.size()), SQLITE_TRANSIENT);
}

void like(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    QChar escape;
    if (argc == 3) {
        const QString e = textArg(argv[2]);
        if (e.size() != 1) {
            sqlite3_result_error(ctx, "ESCAPE expression must be a single character", -1);
            return;
        }
        escape = e[0];
    }
    const QString pattern = core::foldTurkish(textArg(argv[0]));
    const QString text = core::foldTurkish(textArg(argv[1]));
    sqlite3_result_int(ctx, likeMatch(pattern, text, escape) ? 1 : 0);
}

}  // namespace

bool likeMatch(QStringView pattern, QStringView text, QChar escape) {
    qsizetype p = 0, t = 0;
    qsizetype starP = -1, starT = 0;
    while (t < text.size()) {
        if (p < pattern.size()) {
            QChar pc = pattern[p];
            if (!escape.isNull() && pc == escape && p + 1 < pattern.size()) {
                if (pattern[p + 1] == text[t]) {
                    p += 2;
                    ++t;
                    continue;
                }
            } else if (pc == u'%') {
                starP = p++;
                starT = t;
                continue;
            } else if (pc == u'_' || pc == text[t]) {
                ++p;
                ++t;
                continue;
            }
        }
        if (starP < 0) return false;
        p = starP + 1;
        t = ++starT;
    }
    while (p < pattern.size() && pattern[p] == u'%')
        ++p;
    return p == pattern.size();
}

void registerTextFunctions(sqlite3* db) {
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
    if (sqlite3_create_function_v2(db, "trfold", 1, flags, nullptr, trfold, nullptr, nullptr,
                                   nullptr) != SQLITE_OK ||
        sqlite3_create_function_v2(db, "like", 2, flags, nullptr, like, nullptr, nullptr,
                                   nullptr) != SQLITE_OK ||
        sqlite3_create_function_v2(db, "like", 3, flags, nullptr, like, nullptr, nullptr,
                                   nullptr) != SQLITE_OK) {
        throw DatabaseError(QStringLiteral("Metin karşılaştırma işlevleri kurulamadı: %1")
                                .arg(QString::fromUtf8(sqlite3_errmsg(db))));
    }
}

}  // namespace data
