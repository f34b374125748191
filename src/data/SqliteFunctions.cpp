#include "data/SqliteFunctions.h"

#include <sqlite3.h>
#include <QChar>
#include <iterator>

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

// Names sort by a key rather than a collation callback: the engine builds each row's key once
// and then sorts plain bytes, so a million names order in about the time code order takes.
constexpr unsigned char LetterBase = 0x80;
constexpr unsigned char OtherMark = 0xF0;

constexpr unsigned char letterRank(char32_t folded) {
    constexpr char32_t alphabet[] = {U'a', U'b', U'c', U'ç', U'd', U'e', U'f', U'g',
                                     U'ğ', U'h', U'ı', U'i', U'j', U'k', U'l', U'm',
                                     U'n', U'o', U'ö', U'p', U'q', U'r', U's', U'ş',
                                     U't', U'u', U'ü', U'v', U'w', U'x', U'y', U'z'};
    for (unsigned char i = 0; i < std::size(alphabet); ++i)
        if (alphabet[i] == folded) return static_cast<unsigned char>(i + 1);
    return 0;
}

// The Turkish lower case of a letter of the alphabet, or the character itself.
constexpr char32_t foldLetter(char32_t c) {
    switch (c) {
        case U'I':
            return U'ı';
        case U'İ':
            return U'i';
        case U'Ç':
            return U'ç';
        case U'Ğ':
            return U'ğ';
        case U'Ö':
            return U'ö';
        case U'Ş':
            return U'ş';
        case U'Ü':
            return U'ü';
        default:
            return c >= U'A' && c <= U'Z' ? c + 32 : c;
    }
}

struct AsciiWeights {
    unsigned char w[128];
    constexpr AsciiWeights() : w() {
        for (char32_t c = 0; c < 128; ++c) {
            const unsigned char rank = letterRank(foldLetter(c));
            w[c] = rank ? static_cast<unsigned char>(LetterBase + rank)
                        : static_cast<unsigned char>(c);
        }
    }
};
constexpr AsciiWeights Ascii;

// Writes the key of one character; returns the bytes written (1, or 4 for other characters).
int weight(char32_t c, unsigned char* out) {
    if (c < 128) {
        *out = Ascii.w[c];
        return 1;
    }
    const char32_t folded = foldLetter(c);
    if (const unsigned char rank = letterRank(folded)) {
        *out = static_cast<unsigned char>(LetterBase + rank);
        return 1;
    }
    const char32_t lower = QChar::toLower(folded);
    out[0] = OtherMark;
    out[1] = static_cast<unsigned char>((lower >> 16) & 0xFF);
    out[2] = static_cast<unsigned char>((lower >> 8) & 0xFF);
    out[3] = static_cast<unsigned char>(lower & 0xFF);
    return 4;
}

// The key of `size` bytes of UTF-8 into `out`, which holds 4 × size bytes; returns its length.
int writeKey(const unsigned char* s, int size, unsigned char* out) {
    unsigned char* o = out;
    for (int i = 0; i < size;) {
        const unsigned char b = s[i];
        if (b < 0x80) {
            *o++ = Ascii.w[b];
            ++i;
            continue;
        }
        // A well-formed sequence decodes; a stray byte stands for itself among the others.
        const int length = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
        char32_t c = length == 1 ? b : b & (0x7F >> length);
        bool ok = length > 1 && i + length <= size;
        for (int k = 1; ok && k < length; ++k) {
            ok = (s[i + k] & 0xC0) == 0x80;
            c = (c << 6) | (s[i + k] & 0x3F);
        }
        o += weight(ok ? c : 0xDC00 + b, o);
        i += ok ? length : 1;
    }
    return static_cast<int>(o - out);
}

void trkey(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const auto* text = sqlite3_value_text(argv[0]);
    const int size = sqlite3_value_bytes(argv[0]);
    auto* key =
        static_cast<unsigned char*>(sqlite3_malloc64(4 * static_cast<sqlite3_uint64>(size) + 1));
    if (!key) {
        sqlite3_result_error_nomem(ctx);
        return;
    }
    sqlite3_result_blob64(ctx, key, static_cast<sqlite3_uint64>(writeKey(text, size, key)),
                          sqlite3_free);
}

}  // namespace

QByteArray turkishSortKey(const char* utf8, int size) {
    QByteArray key(4 * size, Qt::Uninitialized);
    key.truncate(writeKey(reinterpret_cast<const unsigned char*>(utf8), size,
                          reinterpret_cast<unsigned char*>(key.data())));
    return key;
}

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

// A fingerprint of what the name order depends on (every card's row, name and hidden flag):
// equal fingerprints, the same order. Summed so that the row order read does not matter.
void cardmarkStep(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    auto* acc = static_cast<quint64*>(sqlite3_aggregate_context(ctx, sizeof(quint64)));
    if (!acc) return;
    quint64 h = 1469598103934665603ULL;
    const auto mix = [&h](const unsigned char* bytes, int size) {
        for (int i = 0; i < size; ++i)
            h = (h ^ bytes[i]) * 1099511628211ULL;
        h = (h ^ 0xFF) * 1099511628211ULL;
    };
    for (int i = 0; i < argc; ++i)
        mix(sqlite3_value_text(argv[i]), sqlite3_value_bytes(argv[i]));
    *acc += h;
}

void cardmarkFinal(sqlite3_context* ctx) {
    auto* acc = static_cast<quint64*>(sqlite3_aggregate_context(ctx, 0));
    const QByteArray text = QByteArray::number(acc ? *acc : 0, 16);
    sqlite3_result_text(ctx, text.constData(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

void registerTextFunctions(sqlite3* db) {
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
    if (sqlite3_create_function_v2(db, "trfold", 1, flags, nullptr, trfold, nullptr, nullptr,
                                   nullptr) != SQLITE_OK ||
        sqlite3_create_function_v2(db, "trkey", 1, flags, nullptr, trkey, nullptr, nullptr,
                                   nullptr) != SQLITE_OK ||
        sqlite3_create_function_v2(db, "like", 2, flags, nullptr, like, nullptr, nullptr,
                                   nullptr) != SQLITE_OK ||
        sqlite3_create_function_v2(db, "like", 3, flags, nullptr, like, nullptr, nullptr,
                                   nullptr) != SQLITE_OK ||
        sqlite3_create_function_v2(db, "cardmark", -1, flags, nullptr, nullptr, cardmarkStep,
                                   cardmarkFinal, nullptr) != SQLITE_OK) {
        throw DatabaseError(QStringLiteral("Metin karşılaştırma işlevleri kurulamadı: %1")
                                .arg(QString::fromUtf8(sqlite3_errmsg(db))));
    }
}

}  // namespace data
