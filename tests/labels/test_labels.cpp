#include <gtest/gtest.h>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <functional>

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

bool found(const QString& tool) {
    return !QStandardPaths::findExecutable(tool).isEmpty();
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

// What `draw` paints, in twips, on a label-sized face of one colour.
QImage painted(QColor face, const std::function<void(QPainter&)>& draw) {
    QImage image(static_cast<int>(labels::LabelPainter::Width * Scale),
                 static_cast<int>(labels::LabelPainter::Height * Scale), QImage::Format_RGB32);
    image.fill(face);
    QPainter painter(&image);
    painter.scale(Scale, Scale);
    draw(painter);
    return image;
}

// Painted over a red face, so a label that does not start from white shows it.
QImage rendered(const labels::LabelContent& content, const Barcode& barcode) {
    return painted(Qt::red, [&](QPainter& p) { labels::LabelPainter::paint(p, content, barcode); });
}

// The label area, in twips, of each pixel where two pictures differ.
QVector<QRectF> drawnBetween(const QImage& with, const QImage& without) {
    QVector<QRectF> drawn;
    for (int y = 0; y < with.height(); ++y)
        for (int x = 0; x < with.width(); ++x)
            if (with.pixel(x, y) != without.pixel(x, y))
                drawn.append(QRectF(x / Scale, y / Scale, 1 / Scale, 1 / Scale));
    return drawn;
}

}  // namespace

TEST(Barcode, LengthChoosesTheSymbologyBadEanTextsFallBackAndAPrintedLabelIsReadBack) {
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
    if (!found(u"pdftoppm"_s) || !found(u"zbarimg"_s))
        GTEST_SKIP() << "pdftoppm or zbarimg is not installed (scripts/install-deps installs them)";
    // A name too long for the label runs off its edge and leaves the symbol readable.
    EXPECT_EQ(
        printedAndDecoded(u"ST-000123"_s,
                          u"ÇOK UZUN BİR ÜRÜN ADI Kİ ETİKETİN KENARINDAN TAŞAR VE KESİLMEZ"_s),
        u"ST-000123"_s);
}

TEST(LabelPainter, CaptionsKeepTheirBoxesAndTheBarcodeItsQuietZone) {
    using labels::LabelPainter;
    // Long and short captions beside an EAN-13, a Code 128 and a wide code's narrow price box.
    for (const auto& [name, price, code] :
         {std::tuple{"KALEM PİL", "1.234.567,89 TL.", "8690000000012"},
          {"ANADOLU KAŞAR PEYNİRİ 250G", "9,50 TL.", "ST-000123"},
          {"ANADOLU KAŞAR PEYNİRİ 250G", "1.234.567,89 TL.", "ST-0000012345678"}}) {
        SCOPED_TRACE(code);
        const labels::LabelContent content{u"Karvendo"_s, QString::fromUtf8(name), QString(),
                                           QString::fromUtf8(price), QString::fromLatin1(code)};
        const Barcode barcode =
            labels::encodeBarcode(content.barcode, LabelPainter::BarHeight / LabelPainter::Module);
        ASSERT_TRUE(barcode.drawable());
        const labels::LabelLayout layout = LabelPainter::layout(barcode);
        const QImage label = rendered(content, barcode);

        const auto drawnBy = [&](QString labels::LabelContent::*caption) {
            labels::LabelContent without = content;
            (without.*caption).clear();
            return drawnBetween(label, rendered(without, barcode));
        };
        const QVector<QRectF> priceDrawn = drawnBy(&labels::LabelContent::price);
        const QVector<QRectF> nameDrawn = drawnBy(&labels::LabelContent::name);
        ASSERT_FALSE(priceDrawn.isEmpty() || nameDrawn.isEmpty());
        for (const QRectF& p : priceDrawn)
            ASSERT_TRUE(layout.price.intersects(p) && !layout.barcode.intersects(p)) << p.x();
        const QRectF onLabel(LabelPainter::Margin, 0,
                             LabelPainter::Width - 2 * LabelPainter::Margin, LabelPainter::Height);
        for (const QRectF& p : nameDrawn)
            ASSERT_TRUE(onLabel.intersects(p)) << p.x();

        // The symbol's quiet zones are inside its place, and nothing but the symbol is drawn there.
        const double quiet = barcode.kind == Barcode::Kind::Code128 ? 10 : 7;
        const auto [first, last] = std::minmax_element(
            barcode.bars.begin(), barcode.bars.end(),
            [](const QRectF& a, const QRectF& b) { return a.left() < b.left(); });
        EXPECT_GE(first->left(), quiet);
        EXPECT_LE(last->right(), barcode.size.width() - quiet);
        const QImage alone = painted(Qt::white, [&](QPainter& p) {
            labels::drawBarcode(p, barcode, layout.barcode.topLeft(), layout.module);
        });
        for (const QRectF& p : drawnBetween(label, alone))
            ASSERT_FALSE(layout.barcode.contains(p)) << p.x();

        if (found(u"zbarimg"_s)) {
            QTemporaryDir dir;
            const QString png = dir.filePath(u"label.png"_s);
            ASSERT_TRUE(label.save(png));
            EXPECT_EQ(decodedFile(png), content.barcode);
        }
    }
}
