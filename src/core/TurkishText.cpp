#include "core/TurkishText.h"

#include <array>

namespace core {

QString foldTurkish(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x80) {
            // ASCII fast path; plain I is the capital of dotless ı in Turkish.
            if (u == u'I') {
                out.append(QChar(0x0131));
            } else if (u >= u'A' && u <= u'Z') {
                out.append(QChar(u + 32));
            } else {
                out.append(c);
            }
        } else if (u == 0x0130) {  // İ
            out.append(QChar(u'i'));
        } else {
            out.append(c.toLower());
        }
    }
    return out;
}

bool isCaseless(const QString& text) {
    for (QChar c : text) {
        if (c.toLower() != c || c.toUpper() != c) return false;
    }
    return true;
}

QString fromWindows1254(const QByteArray& bytes) {
    // 0x80..0x9F and six Turkish letters differ from Latin-1; everything else maps straight.
    static const std::array<char16_t, 32> high = {
        0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0xFFFD, 0x0178};
    QString out;
    out.reserve(bytes.size());
    for (char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        char16_t u = b;
        if (b >= 0x80 && b <= 0x9F) {
            u = high[b - 0x80];
        } else {
            switch (b) {
                case 0xD0:
                    u = 0x011E;
                    break;  // Ğ
                case 0xDD:
                    u = 0x0130;
                    break;  // İ
                case 0xDE:
                    u = 0x015E;
                    break;  // Ş
                case 0xF0:
                    u = 0x011F;
                    break;  // ğ
                case 0xFD:
                    u = 0x0131;
                    break;  // ı
                case 0xFE:
                    u = 0x015F;
                    break;  // ş
                default:
                    break;
            }
        }
        out.append(QChar(u));
    }
    return out;
}

}  // namespace core
