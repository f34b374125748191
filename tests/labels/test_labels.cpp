#include <gtest/gtest.h>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>

#include "entry/ScaleLabel.h"
#include "labels/Barcode.h"
#include "labels/LabelPainter.h"
#include "labels/LabelPrinter.h"

using namespace Qt::StringLiterals;

using labels::Barcode;

namespace {

Barcode encode(const QString& text) {
    return labels::encodeBarcode(text, 23);
}

// What a real decoder reads from a picture file; empty when it finds no barcode.
QString decodedFile(const QString& png) {
    QProcess decode;
    decode.start(u"zbarimg"_s, {u"-q"_s, u"--raw"_s, png});
    if (!decode.waitForFinished(30000)) return u"zbarimg failed"_s;
    return QString::fromUtf8(decode.readAllStandardOutput()).trimmed();
}

bool canDecode() {
    return !QStandardPaths::findExecutable(u"zbarimg"_s).isEmpty();
}

// Prints a label to PDF, renders it as a picture and reads its barcode with a real decoder.
QString printedAndDecoded(const QString& code, const QString& name) {
    QTemporaryDir dir;
    const QString pdf = dir.filePath(u"label.pdf"_s);
    const labels::LabelContent content{u"Karvendo"_s, name, QString(), u"1.234,50 TL."_s, code};
    const QString error = labels::printLabel(content, encode(code), pdf);
    if (!error.isEmpty()) return u"print: "_s + error;
    QProcess render;
    render.start(u"pdftoppm"_s,
                 {u"-r"_s, u"300"_s, u"-png"_s, u"-singlefile"_s, pdf, dir.filePath(u"page"_s)});
    if (!render.waitForFinished(30000) || render.exitCode() != 0) return u"pdftoppm failed"_s;
    return decodedFile(dir.filePath(u"page.png"_s));
}

// Labels are looked at a fifth of their twips, about the size the preview shows them.
constexpr double Scale = 0.2;

QImage blankLabel() {
    QImage image(static_cast<int>(labels::LabelPainter::Width * Scale),
                 static_cast<int>(labels::LabelPainter::Height * Scale), QImage::Format_RGB32);
    image.fill(Qt::white);
    return image;
}

// Painted over a red face, so a label that does not start from white shows it.
QImage rendered(const labels::LabelContent& content, const Barcode& barcode) {
    QImage image = blankLabel();
    image.fill(Qt::red);
    QPainter painter(&image);
    painter.scale(Scale, Scale);
    labels::LabelPainter::paint(painter, content, barcode);
    return image;
}

// The label area a pixel covers, in twips.
QRectF twips(int x, int y) {
    return QRectF(x / Scale, y / Scale, 1 / Scale, 1 / Scale);
}

// The pixels where two pictures differ: what the caption left out of one of them drew.
QVector<QRectF> drawnBetween(const QImage& with, const QImage& without) {
    QVector<QRectF> drawn;
    for (int y = 0; y < with.height(); ++y)
        for (int x = 0; x < with.width(); ++x)
            if (with.pixel(x, y) != without.pixel(x, y)) drawn.append(twips(x, y));
    return drawn;
}

}  // namespace

TEST(Barcode, LengthChoosesTheSymbologyAndBadEanTextsFallBack) {
    EXPECT_EQ(encode(u"8690000000012"_s).kind, Barcode::Kind::Ean13);
    EXPECT_EQ(encode(u"20000073"_s).kind, Barcode::Kind::Ean8);
    for (const char* other : {"869000000001", "8690000000019", "ABCDEFGH"})  // 12, bad check
        EXPECT_EQ(encode(QString::fromLatin1(other)).kind, Barcode::Kind::Code128) << other;
    const Barcode empty = encode(QString());
    EXPECT_FALSE(empty.drawable());
    EXPECT_TRUE(empty.error.isEmpty());
    const Barcode greek = encode(u"ΩΩ"_s);
    EXPECT_FALSE(greek.drawable());
    EXPECT_FALSE(greek.error.isEmpty());
    EXPECT_TRUE(encode(u"ÇAY-1"_s).drawable());  // Latin-1 letters are fine
}

TEST(Barcode, APrintedLabelIsReadBackByADecoder) {
    if (QStandardPaths::findExecutable(u"pdftoppm"_s).isEmpty() ||
        QStandardPaths::findExecutable(u"zbarimg"_s).isEmpty())
        GTEST_SKIP() << "pdftoppm or zbarimg is not installed (scripts/install-deps installs them)";
    // A name too long for the label runs off its edge and leaves the symbol readable.
    EXPECT_EQ(
        printedAndDecoded(u"ST-000123"_s,
                          u"ÇOK UZUN BİR ÜRÜN ADI Kİ ETİKETİN KENARINDAN TAŞAR VE KESİLMEZ"_s),
        u"ST-000123"_s);
}

TEST(LabelPainter, CaptionsKeepTheirBoxesAndTheBarcodeItsQuietZone) {
    const QString shortName = u"KALEM PİL"_s;
    const QString longName = u"ANADOLU KAŞAR PEYNİRİ 250G"_s;
    const QString shortPrice = u"9,50 TL."_s;
    const QString longPrice = u"1.234.567,89 TL."_s;
    const struct {
        QString name, price, code;
    } rows[] = {
        {shortName, shortPrice, u"8690000000012"_s},
        {longName, longPrice, u"8690000000012"_s},
        {longName, shortPrice, u"ST-000123"_s},
        {shortName, longPrice, u"ST-000123"_s},
        {longName, longPrice, u"ST-0000012345678"_s},         // wide code, narrow price box
        {u"BEYAZ PEYNİR"_s, shortPrice, u"2700031004562"_s},  // a scale's weight label
    };
    using labels::LabelPainter;
    for (const auto& row : rows) {
        SCOPED_TRACE(qPrintable(row.name + " | " + row.price + " | " + row.code));
        const labels::LabelContent content{u"Karvendo"_s, row.name, QString(), row.price, row.code};
        const Barcode barcode =
            labels::encodeBarcode(row.code, LabelPainter::BarHeight / LabelPainter::Module);
        ASSERT_TRUE(barcode.drawable());
        const labels::LabelLayout layout = LabelPainter::layout(barcode);
        const QImage label = rendered(content, barcode);
        EXPECT_EQ(label.pixelColor(1, label.height() / 2), QColor(Qt::white));

        labels::LabelContent noPrice = content;
        noPrice.price.clear();
        const QVector<QRectF> price = drawnBetween(label, rendered(noPrice, barcode));
        ASSERT_FALSE(price.isEmpty());
        for (const QRectF& p : price)
            ASSERT_TRUE(layout.price.intersects(p) && !layout.barcode.intersects(p)) << p.x();

        labels::LabelContent noName = content;
        noName.name.clear();
        const QVector<QRectF> name = drawnBetween(label, rendered(noName, barcode));
        ASSERT_FALSE(name.isEmpty());
        const QRectF onLabel(LabelPainter::Margin, 0,
                             LabelPainter::Width - 2 * LabelPainter::Margin, LabelPainter::Height);
        for (const QRectF& p : name)
            ASSERT_TRUE(onLabel.intersects(p)) << p.x();

        // The symbol's quiet zones are inside its place, and nothing but the symbol is drawn there.
        const double quiet = barcode.kind == Barcode::Kind::Code128 ? 10 : 7;
        const auto [first, last] = std::minmax_element(
            barcode.bars.begin(), barcode.bars.end(),
            [](const QRectF& a, const QRectF& b) { return a.left() < b.left(); });
        EXPECT_GE(first->left(), quiet);
        EXPECT_LE(last->right(), barcode.size.width() - quiet);
        QImage alone = blankLabel();
        {
            QPainter painter(&alone);
            painter.scale(Scale, Scale);
            labels::drawBarcode(painter, barcode, layout.barcode.topLeft(), layout.module);
        }
        int foreign = 0;
        for (int y = 0; y < label.height(); ++y)
            for (int x = 0; x < label.width(); ++x)
                if (layout.barcode.contains(twips(x, y)) && label.pixel(x, y) != alone.pixel(x, y))
                    ++foreign;
        EXPECT_EQ(foreign, 0);

        if (canDecode()) {
            QTemporaryDir dir;
            const QString png = dir.filePath(u"label.png"_s);
            ASSERT_TRUE(label.save(png));
            const QString decoded = decodedFile(png);
            EXPECT_EQ(decoded, row.code);
            // What the scanner reads of a scale's label is what books: 0,456 kg of item 00031.
            const auto weighed = entry::readScaleLabel(decoded, entry::ScaleFormats::defaults());
            EXPECT_EQ(weighed.has_value(), row.code.startsWith(u"27"_s));
            if (weighed) {
                EXPECT_EQ(weighed->itemNumber, u"00031"_s);
                EXPECT_EQ(weighed->valueText(), u"0,456 kg"_s);
            }
        }
    }
}
