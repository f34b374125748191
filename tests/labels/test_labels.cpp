#include <gtest/gtest.h>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "labels/Barcode.h"
#include "labels/LabelPainter.h"
#include "labels/LabelPrinter.h"

using labels::Barcode;

namespace {

Barcode encode(const QString& text) {
    return labels::encodeBarcode(text, 23);
}

// Prints a label to PDF, renders it as a picture and reads its barcode with a real decoder.
QString printedAndDecoded(const QString& code, const QString& name) {
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("label.pdf"));
    const labels::LabelContent content{QStringLiteral("Karvendo"), name, QString(),
                                       QStringLiteral("1.234,50 TL."), code};
    const QString error = labels::printLabel(content, encode(code), pdf);
    if (!error.isEmpty()) return QStringLiteral("print: ") + error;
    QProcess render;
    render.start(QStringLiteral("pdftoppm"),
                 {QStringLiteral("-r"), QStringLiteral("300"), QStringLiteral("-png"),
                  QStringLiteral("-singlefile"), pdf, dir.filePath(QStringLiteral("page"))});
    if (!render.waitForFinished(30000) || render.exitCode() != 0)
        return QStringLiteral("pdftoppm failed");
    QProcess decode;
    decode.start(QStringLiteral("zbarimg"), {QStringLiteral("-q"), QStringLiteral("--raw"),
                                             dir.filePath(QStringLiteral("page.png"))});
    if (!decode.waitForFinished(30000)) return QStringLiteral("zbarimg failed");
    return QString::fromUtf8(decode.readAllStandardOutput()).trimmed();
}

}  // namespace

TEST(Barcode, LengthChoosesTheSymbologyAndBadEanTextsFallBack) {
    EXPECT_EQ(encode(QStringLiteral("8690000000012")).kind, Barcode::Kind::Ean13);
    EXPECT_EQ(encode(QStringLiteral("20000073")).kind, Barcode::Kind::Ean8);
    EXPECT_EQ(encode(QStringLiteral("869000000001")).kind, Barcode::Kind::Code128);  // 12 digits
    EXPECT_EQ(encode(QStringLiteral("8690000000019")).kind,
              Barcode::Kind::Code128);  // wrong check digit
    EXPECT_EQ(encode(QStringLiteral("ABCDEFGH")).kind, Barcode::Kind::Code128);
    const Barcode empty = encode(QString());
    EXPECT_FALSE(empty.drawable());
    EXPECT_TRUE(empty.error.isEmpty());
    const Barcode greek = encode(QStringLiteral("ΩΩ"));
    EXPECT_FALSE(greek.drawable());
    EXPECT_FALSE(greek.error.isEmpty());
    EXPECT_TRUE(encode(QStringLiteral("ÇAY-1")).drawable());  // Latin-1 letters are fine
}

TEST(Barcode, APrintedLabelIsReadBackByADecoder) {
    if (QStandardPaths::findExecutable(QStringLiteral("pdftoppm")).isEmpty() ||
        QStandardPaths::findExecutable(QStringLiteral("zbarimg")).isEmpty())
        GTEST_SKIP() << "pdftoppm or zbarimg is not installed (scripts/install-deps installs them)";
    EXPECT_EQ(printedAndDecoded(QStringLiteral("8690000000012"),
                                QStringLiteral("LEZZET SPAGETTİ MAKARNA 500 GR")),
              QStringLiteral("8690000000012"));
    EXPECT_EQ(printedAndDecoded(QStringLiteral("20000073"), QStringLiteral("KALEM PİL")),
              QStringLiteral("20000073"));
    EXPECT_EQ(printedAndDecoded(
                  QStringLiteral("ST-000123"),
                  QStringLiteral("ÇOK UZUN BİR ÜRÜN ADI Kİ ETİKETİN KENARINDAN TAŞAR VE KESİLMEZ")),
              QStringLiteral("ST-000123"));
}

TEST(LabelPainter, RedrawingStartsFromAWhiteFace) {
    QImage image(454, 199, QImage::Format_RGB32);
    image.fill(Qt::red);
    QPainter painter(&image);
    painter.scale(0.1, 0.1);
    labels::LabelPainter::paint(painter,
                                {QStringLiteral("Karvendo"), QStringLiteral("A"), QString(),
                                 QStringLiteral("1,00 TL."), QString()},
                                Barcode{});
    painter.end();
    EXPECT_EQ(image.pixelColor(2, 100), QColor(Qt::white));  // nothing of the old face stays
}
