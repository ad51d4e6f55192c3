// SPDX-License-Identifier: MIT
#include "OffscreenByDefault.h"

#include "views/AccessibleStyle.h"
#include "views/FormValue.h"
#include "views/ProminentButton.h"
#include "views/RunStateBadge.h"
#include "views/SelectableLabel.h"
#include "views/Symbols.h"
#include "views/SystemColors.h"
#include "views/Typography.h"

#include <QApplication>
#include <QEnterEvent>
#include <QFontDatabase>
#include <QFontInfo>
#include <QHelpEvent>
#include <QImage>
#include <QLabel>
#include <QStyleFactory>
#include <QTest>
#include <QToolTip>

// The symbols come from our own artwork in their colours; the text styles keep their order and
// stay readable in size and in contrast.
class TestViewStyle : public QObject
{
    Q_OBJECT

public:
    static void initMain() { drawOffscreenByDefault(); }

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
    static double pointSize(const QFont &font) { return QFontInfo(font).pointSizeF(); }

    // A dark desktop palette whose secondary text is as faint as some dark themes make it.
    static QPalette darkPalette()
    {
        QPalette palette(QColor(0x3a, 0x3a, 0x3d), QColor(0x2b, 0x2b, 0x2e));
        const QColor text(0xee, 0xee, 0xee);
        for (const QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
            palette.setColor(role, text);
        palette.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x20));
        palette.setColor(QPalette::AlternateBase, QColor(0x26, 0x26, 0x29));
        palette.setColor(QPalette::PlaceholderText, QColor(0xee, 0xee, 0xee, 0x70));
        palette.setColor(QPalette::Highlight, QColor(0x3d, 0x8e, 0xe6));
        palette.setColor(QPalette::HighlightedText, Qt::white);
        return palette;
    }

private slots:
    void symbols_areDrawnInTheirColorAtEverySize_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QColor>("color");
        QTest::addColumn<int>("size");
        for (const char *name : {"gear", "plus", "play.circle.fill", "stop.circle.fill", "cylinder.split.1x2", "link",
                                 "checkmark.circle.fill", "exclamationmark.triangle.fill", "trash"}) {
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

    static bool isNear(const QColor &painted, const QColor &expected)
    {
        return qAbs(painted.red() - expected.red()) <= 3 && qAbs(painted.green() - expected.green()) <= 3 &&
               qAbs(painted.blue() - expected.blue()) <= 3;
    }

    // The fill follows the latest tint and state, whatever was painted before.
    void prominentButton_paintsTheFillOfItsState_data()
    {
        QTest::addColumn<QColor>("tint");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<bool>("down");
        QTest::newRow("start") << SystemColors::green() << true << false;
        QTest::newRow("stop") << SystemColors::red() << true << false;
        QTest::newRow("stop pressed") << SystemColors::red() << true << true;
        QTest::newRow("disabled") << SystemColors::red() << false << false;
    }

    void prominentButton_paintsTheFillOfItsState()
    {
        QFETCH(QColor, tint);
        QFETCH(bool, enabled);
        QFETCH(bool, down);
        ProminentButton button(QStringLiteral("Stop"));
        button.resize(button.sizeHint());
        button.setTint(SystemColors::orange());
        button.grab();
        button.setTint(tint);
        button.setEnabled(enabled);
        button.setDown(down);
        const QImage image = button.grab().toImage();
        const QColor expected = !enabled ? button.palette().color(QPalette::Active, QPalette::Button)
                                : down   ? button.fill().darker(125)
                                         : button.fill();
        // Inside the rounded fill, before the text begins.
        const QColor painted = image.pixelColor(8, image.height() / 2);
        QVERIFY2(isNear(painted, expected), qPrintable(painted.name() + QStringLiteral(" != ") + expected.name()));
        QCOMPARE(pixelsOfColor(image, Qt::white) > 0, enabled);
    }

    // A light tint of the state's colour behind the state's name, after any earlier state.
    void runStateBadge_paintsTheColorOfItsState_data()
    {
        QTest::addColumn<QColor>("earlier");
        QTest::addColumn<QColor>("color");
        QTest::newRow("starting, then running") << SystemColors::orange() << SystemColors::green();
        QTest::newRow("running, then stopping") << SystemColors::green() << SystemColors::orange();
    }

    void runStateBadge_paintsTheColorOfItsState()
    {
        QFETCH(QColor, earlier);
        QFETCH(QColor, color);
        RunStateBadge badge;
        badge.setState(QStringLiteral("Earlier"), earlier);
        badge.resize(badge.sizeHint());
        badge.grab();
        badge.setState(QStringLiteral("Now"), color);
        QCOMPARE(badge.text(), QStringLiteral("Now"));
        const QImage image = badge.grab().toImage();
        const QColor window = badge.palette().color(QPalette::Window);
        const auto blend = [](int under, int over) { return qRound(under * 0.9 + over * 0.1); };
        const QColor expected(blend(window.red(), color.red()), blend(window.green(), color.green()),
                              blend(window.blue(), color.blue()));
        const QColor painted = image.pixelColor(3, image.height() / 2);
        QVERIFY2(isNear(painted, expected), qPrintable(painted.name() + QStringLiteral(" != ") + expected.name()));
    }

    // The name, the address and the values of the detail pane: selectable once the pointer is
    // over them, drawn exactly as before, markup shown as written; a selection outlasts the pointer.
    void selectableLabel_drawsTheSameWhetherSelectableOrNot_data()
    {
        QTest::addColumn<QFont>("font");
        QTest::addColumn<bool>("secondary");
        QTest::addColumn<QString>("text");
        QTest::newRow("name") << Typography::withWeight(Typography::title(), QFont::Bold) << false
                              << QStringLiteral("orders");
        QTest::newRow("address") << Typography::subheadline() << true
                                 << QStringLiteral("http://orders.halvex.local:5432");
        QTest::newRow("markup") << QApplication::font() << false << QStringLiteral("<b>token</b>");
    }

    void selectableLabel_drawsTheSameWhetherSelectableOrNot()
    {
        QFETCH(QFont, font);
        QFETCH(bool, secondary);
        QFETCH(QString, text);
        QWidget window;
        window.resize(400, 100);
        SelectableLabel label(&window);
        label.setFont(font);
        if (secondary)
            SystemColors::makeSecondary(&label);
        label.setText(text);
        // Away from the corner where the pointer of the off-screen platform rests.
        label.setGeometry(QRect(QPoint(0, 50), label.sizeHint()));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(!label.underMouse());
        const QImage plain = label.grab().toImage();
        QCOMPARE(label.textFormat(), Qt::PlainText);

        QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), label.mapToGlobal(QPointF(5, 5)));
        QApplication::sendEvent(&label, &enter);
        QCOMPARE(label.grab().toImage(), plain);
        label.setSelection(0, static_cast<int>(text.size()));
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(&label, &leave);
        QCOMPARE(label.selectedText(), text);
    }

    // A value never widens the form, whatever its length; one cut off at the edge shows in full as
    // its tooltip and is still copied whole.
    void formValue_staysInItsRoomAndShowsWhatIsCut_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("cut");
        QTest::newRow("port") << QStringLiteral("5432") << false;
        QTest::newRow("long path") << QStringLiteral("/srv/data/").repeated(20) + QStringLiteral("orders") << true;
    }

    void formValue_staysInItsRoomAndShowsWhatIsCut()
    {
        QFETCH(QString, text);
        QFETCH(bool, cut);
        QWidget form;
        form.resize(300, 100);
        FormValue value(&form);
        const QSize emptyHint = value.sizeHint();
        value.setValue(text);
        QCOMPARE(value.sizeHint(), emptyHint);
        QCOMPARE(value.minimumSizeHint().width(), 0);
        // Away from the corner where the pointer of the off-screen platform rests.
        value.setGeometry(0, 50, 300, value.sizeHint().height());
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));

        QCOMPARE(value.text(), text);
        QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), value.mapToGlobal(QPointF(5, 5)));
        QApplication::sendEvent(&value, &enter);
        value.setSelection(0, static_cast<int>(text.size()));
        QCOMPARE(value.selectedText(), text);

        QHelpEvent help(QEvent::ToolTip, QPoint(5, 5), value.mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(&value, &help);
        QCOMPARE(QToolTip::isVisible() ? QToolTip::text() : QString(), cut ? text : QString());
        QToolTip::hideText();
    }

    // Drawn symbols are kept for their next paint: never one in place of another symbol, tint or
    // look of a disabled button at the same size.
    void symbols_areNeverMistakenForAnother_data()
    {
        QTest::addColumn<QIcon>("first");
        QTest::addColumn<QIcon::Mode>("firstMode");
        QTest::addColumn<QIcon>("second");
        QTest::addColumn<QIcon::Mode>("secondMode");
        const QIcon green = Symbols::tinted(QStringLiteral("play.circle.fill"), SystemColors::green());
        QTest::newRow("other tint") << green << QIcon::Normal
                                    << Symbols::tinted(QStringLiteral("play.circle.fill"), SystemColors::red())
                                    << QIcon::Normal;
        QTest::newRow("other symbol") << green << QIcon::Normal
                                      << Symbols::tinted(QStringLiteral("stop.circle.fill"), SystemColors::green())
                                      << QIcon::Normal;
        QTest::newRow("disabled") << green << QIcon::Normal << green << QIcon::Disabled;
    }

    void symbols_areNeverMistakenForAnother()
    {
        QFETCH(QIcon, first);
        QFETCH(QIcon::Mode, firstMode);
        QFETCH(QIcon, second);
        QFETCH(QIcon::Mode, secondMode);
        const QSize size(24, 24);
        const QImage firstImage = first.pixmap(size, firstMode).toImage();
        QCOMPARE(first.pixmap(size, firstMode).toImage(), firstImage);
        QVERIFY(second.pixmap(size, secondMode).toImage() != firstImage);
    }

    void themedSymbol_fallsBackToOurArtwork()
    {
        QIcon::setThemeName(QString());
        const QImage image = Symbols::themed(QStringLiteral("gear"), Qt::blue).pixmap(QSize(32, 32)).toImage();
        QVERIFY(pixelsOfColor(image, Qt::blue) > 0);
    }

    void typography_keepsTheOrderOfTheRolesAndNoTextIsTooSmall_data()
    {
        QTest::addColumn<QFont>("body");
        QFont small = QApplication::font();
        small.setPointSizeF(8);
        QFont large = QApplication::font();
        large.setPointSizeF(16);
        QFont pixels = QApplication::font();
        pixels.setPixelSize(13);
        QTest::newRow("desktop font") << QApplication::font();
        QTest::newRow("small body text") << small;
        QTest::newRow("large body text") << large;
        QTest::newRow("size in pixels") << pixels;
    }

    void typography_keepsTheOrderOfTheRolesAndNoTextIsTooSmall()
    {
        QFETCH(QFont, body);
        const QFont desktop = QApplication::font();
        QApplication::setFont(body);
        const double bodySize = pointSize(body);
        const double smallest =
            qMin(pointSize(QFontDatabase::systemFont(QFontDatabase::SmallestReadableFont)), bodySize);
        const double caption = pointSize(Typography::caption());
        const double subheadline = pointSize(Typography::subheadline());
        const double title2 = pointSize(Typography::title2());
        const double title = pointSize(Typography::title());
        const QFont headline = Typography::headline();
        const QFont log = Typography::monospacedCaption();
        QApplication::setFont(desktop);

        QVERIFY2(caption >= smallest - 0.01, qPrintable(QStringLiteral("%1 < %2").arg(caption).arg(smallest)));
        QVERIFY(caption <= subheadline && subheadline <= bodySize);
        QCOMPARE(pointSize(headline), bodySize);
        QVERIFY(headline.weight() > body.weight());
        QVERIFY(bodySize < title2 && title2 < title);
        QCOMPARE(pointSize(log), caption);
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
