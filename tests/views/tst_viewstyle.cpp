// SPDX-License-Identifier: MIT
#include "views/Symbols.h"
#include "views/SystemColors.h"
#include "views/Typography.h"

#include <QApplication>
#include <QImage>
#include <QTest>

// The symbols come from our own artwork in their colours; the text styles keep their order.
class TestViewStyle : public QObject
{
    Q_OBJECT

private:
    static int pixelsOfColor(const QImage &image, const QColor &color)
    {
        int count = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                // Edges are antialiased: any coverage counts, in the tint up to rounding.
                const QColor pixel = image.pixelColor(x, y);
                if (pixel.alpha() > 64 && qAbs(pixel.red() - color.red()) <= 8 &&
                    qAbs(pixel.green() - color.green()) <= 8 && qAbs(pixel.blue() - color.blue()) <= 8)
                    ++count;
            }
        }
        return count;
    }

private slots:
    void symbols_areDrawnInTheirColorAtEverySize_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QColor>("color");
        QTest::addColumn<int>("size");
        for (const char *name : {"gear", "plus", "play.circle.fill", "stop.circle.fill", "cylinder.split.1x2", "link",
                                 "checkmark.circle.fill", "exclamationmark.triangle.fill"}) {
            QTest::addRow("%s small", name) << QString::fromLatin1(name) << SystemColors::green() << 16;
            QTest::addRow("%s large", name) << QString::fromLatin1(name) << SystemColors::red() << 256;
        }
    }

    void symbols_areDrawnInTheirColorAtEverySize()
    {
        QFETCH(QString, name);
        QFETCH(QColor, color);
        QFETCH(int, size);
        const QImage image = Symbols::tinted(name, color).pixmap(QSize(size, size)).toImage();
        QCOMPARE(image.size(), QSize(size, size));
        // Drawn from vectors at the size asked for, in the tint.
        QVERIFY(pixelsOfColor(image, color) >= size / 4);
    }

    void themedSymbol_fallsBackToOurArtwork()
    {
        QIcon::setThemeName(QString());
        const QImage image = Symbols::themed(QStringLiteral("gear"), Qt::blue).pixmap(QSize(32, 32)).toImage();
        QVERIFY(pixelsOfColor(image, Qt::blue) > 0);
    }

    void typography_keepsTheOrderOfTheRoles()
    {
        const double body = QApplication::font().pointSizeF();
        QVERIFY(Typography::caption().pointSizeF() < Typography::subheadline().pointSizeF());
        QVERIFY(Typography::subheadline().pointSizeF() < body);
        QCOMPARE(Typography::headline().pointSizeF(), body);
        QVERIFY(Typography::headline().weight() > QApplication::font().weight());
        QVERIFY(body < Typography::title2().pointSizeF());
        QVERIFY(Typography::title2().pointSizeF() < Typography::title().pointSizeF());
        QCOMPARE(Typography::monospacedCaption().pointSizeF(), Typography::caption().pointSizeF());
        QVERIFY(QFontInfo(Typography::monospacedCaption()).fixedPitch());
    }
};

QTEST_MAIN(TestViewStyle)
#include "tst_viewstyle.moc"
