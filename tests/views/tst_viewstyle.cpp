// SPDX-License-Identifier: MIT
#include "OffscreenByDefault.h"

#include "views/AccessibleStyle.h"
#include "views/ProminentButton.h"
#include "views/Symbols.h"
#include "views/SystemColors.h"
#include "views/Typography.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontInfo>
#include <QImage>
#include <QLabel>
#include <QStyleFactory>
#include <QTest>

// What every window relies on: symbols drawn from our own artwork in their colours, no text
// smaller than the desktop's smallest readable size, and text readable in light and dark palettes.
class TestViewStyle : public QObject
{
    Q_OBJECT

public:
    static void initMain() { drawOffscreenByDefault(); }

private:
    // A dark desktop palette whose secondary text is as faint as some dark themes make it.
    static QPalette darkPalette()
    {
        QPalette palette(QColor(0x3a, 0x3a, 0x3d), QColor(0x2b, 0x2b, 0x2e));
        for (const QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
            palette.setColor(role, QColor(0xee, 0xee, 0xee));
        palette.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x20));
        palette.setColor(QPalette::AlternateBase, QColor(0x26, 0x26, 0x29));
        palette.setColor(QPalette::PlaceholderText, QColor(0xee, 0xee, 0xee, 0x70));
        palette.setColor(QPalette::Highlight, QColor(0x3d, 0x8e, 0xe6));
        palette.setColor(QPalette::HighlightedText, Qt::white);
        return palette;
    }

private slots:
    // Drawn from vectors at the size asked for, in the tint; a plain symbol that the desktop's
    // theme lacks comes from our artwork too.
    void symbols_areDrawnInTheirColorAtEverySize()
    {
        QIcon::setThemeName(QString());
        QList<std::pair<QIcon, int>> icons{{Symbols::themed(QStringLiteral("gear"), Qt::red), 32}};
        for (const char *name : {"gear", "plus", "play.circle.fill", "stop.circle.fill", "cylinder.split.1x2", "link",
                                 "checkmark.circle.fill", "exclamationmark.triangle.fill", "trash"}) {
            for (const int size : {16, 256})
                icons.append({Symbols::tinted(QString::fromLatin1(name), Qt::red), size});
        }
        for (const auto &[icon, size] : icons) {
            const QImage image = icon.pixmap(QSize(size, size)).toImage();
            int tinted = 0;
            for (int y = 0; y < image.height(); ++y) {
                for (int x = 0; x < image.width(); ++x) {
                    const QColor pixel = image.pixelColor(x, y);
                    tinted += pixel.alpha() > 64 && pixel.red() > 240 && pixel.green() < 16 ? 1 : 0;
                }
            }
            QCOMPARE(image.size(), QSize(size, size));
            QVERIFY(tinted >= size / 4);
        }
    }

    void typography_noTextIsTooSmall_data()
    {
        QTest::addColumn<QFont>("body");
        QFont small = QApplication::font();
        small.setPointSizeF(8);
        QFont pixels = QApplication::font();
        pixels.setPixelSize(13);
        QTest::newRow("desktop font") << QApplication::font();
        QTest::newRow("small body text") << small;
        QTest::newRow("size in pixels") << pixels;
    }
    // The log is wrapped by counting cells: its font must have them all the same width.
    void typography_noTextIsTooSmall()
    {
        QFETCH(QFont, body);
        const QFont desktop = QApplication::font();
        QApplication::setFont(body);
        const double smallest =
            qMin(QFontInfo(QFontDatabase::systemFont(QFontDatabase::SmallestReadableFont)).pointSizeF(),
                 QFontInfo(body).pointSizeF());
        const double caption = QFontInfo(Typography::caption()).pointSizeF();
        const QFont log = Typography::monospacedCaption();
        QApplication::setFont(desktop);
        QVERIFY2(caption >= smallest - 0.01, qPrintable(QStringLiteral("%1 < %2").arg(caption).arg(smallest)));
        QCOMPARE(QFontInfo(log).pointSizeF(), caption);
        QVERIFY(QFontInfo(log).fixedPitch());
    }

    // Secondary text, selected text and coloured text, in the palette the style hands out.
    void colors_keepTextReadableInLightAndDarkPalettes_data()
    {
        QTest::addColumn<QPalette>("desktop");
        std::unique_ptr<QStyle> fusion(QStyleFactory::create(QStringLiteral("Fusion")));
        QTest::newRow("light") << fusion->standardPalette();
        QTest::newRow("dark") << darkPalette();
    }
    void colors_keepTextReadableInLightAndDarkPalettes()
    {
        QFETCH(QPalette, desktop);
        QPalette palette = desktop;
        AccessibleStyle().polish(palette);
        using SystemColors::contrast;
        const double text = SystemColors::textContrast;
        for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
            const QColor secondary = palette.color(group, QPalette::PlaceholderText);
            QCOMPARE(secondary.alpha(), 255);
            for (const QPalette::ColorRole background : {QPalette::Window, QPalette::Base, QPalette::AlternateBase})
                QVERIFY(contrast(secondary, palette.color(group, background)) >= text);
            QVERIFY(contrast(palette.color(group, QPalette::HighlightedText),
                             palette.color(group, QPalette::Highlight)) >= text);
        }
        QLabel label;
        label.setPalette(palette);
        for (const QColor &color : {SystemColors::red(), SystemColors::green(), SystemColors::orange()}) {
            SystemColors::setTextColor(&label, color);
            QVERIFY(contrast(label.palette().color(QPalette::WindowText), palette.color(QPalette::Window)) >= text);
        }
        ProminentButton button(QStringLiteral("Start"));
        for (const QColor &tint : {SystemColors::green(), SystemColors::red(), palette.color(QPalette::Highlight)}) {
            button.setTint(tint);
            QVERIFY(contrast(button.fill(), Qt::white) >= text);
        }
        QVERIFY(contrast(SystemColors::focusRing(palette), palette.color(QPalette::Window)) >=
                SystemColors::markContrast);
    }
};

QTEST_MAIN(TestViewStyle)
#include "tst_viewstyle.moc"
