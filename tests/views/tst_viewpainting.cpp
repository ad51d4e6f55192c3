// SPDX-License-Identifier: MIT
#include "OffscreenByDefault.h"
#include "ViewFixture.h"
#include "ViewTesting.h"

#include "views/FormValue.h"
#include "views/InstanceListView.h"
#include "views/ProminentButton.h"
#include "views/RunStateBadge.h"
#include "views/SelectableLabel.h"
#include "views/Symbols.h"
#include "views/SystemColors.h"
#include "views/Typography.h"

#include <QApplication>
#include <QEnterEvent>
#include <QHelpEvent>
#include <QScreen>
#include <QTest>
#include <QToolTip>

// The widgets that paint themselves instead of following style sheets, and the repaints they
// are spared: each must still show what its state says.
class TestViewPainting : public QObject
{
    Q_OBJECT

public:
    static void initMain() { drawOffscreenByDefault(); }

private:
    static bool isNear(const QColor &painted, const QColor &expected)
    {
        return qAbs(painted.red() - expected.red()) <= 3 && qAbs(painted.green() - expected.green()) <= 3 &&
               qAbs(painted.blue() - expected.blue()) <= 3;
    }

    static bool hasWhite(const QImage &image)
    {
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (image.pixelColor(x, y) == QColor(Qt::white))
                    return true;
            }
        }
        return false;
    }

    // Enters the widget as the pointer does, which makes a label selectable.
    static void pointAt(QWidget &widget)
    {
        QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), widget.mapToGlobal(QPointF(5, 5)));
        QApplication::sendEvent(&widget, &enter);
    }

private slots:
    // The fill follows the latest tint and state, whatever was painted before.
    void prominentButton_paintsTheFillOfItsState_data()
    {
        QTest::addColumn<QColor>("tint");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<bool>("down");
        QTest::newRow("start") << SystemColors::green() << true << false;
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
        QCOMPARE(hasWhite(image), enabled);
    }

    void runStateBadge_paintsTheColorOfItsLatestState()
    {
        RunStateBadge badge;
        badge.setState(QStringLiteral("Starting…"), SystemColors::orange());
        badge.resize(badge.sizeHint());
        badge.grab();
        badge.setState(QStringLiteral("Running"), SystemColors::green());
        QCOMPARE(badge.text(), QStringLiteral("Running"));
        const QColor window = badge.palette().color(QPalette::Window);
        const QColor green = SystemColors::green();
        const auto blend = [](int under, int over) { return qRound(under * 0.9 + over * 0.1); };
        const QColor expected(blend(window.red(), green.red()), blend(window.green(), green.green()),
                              blend(window.blue(), green.blue()));
        const QImage image = badge.grab().toImage();
        QVERIFY(isNear(image.pixelColor(3, image.height() / 2), expected));
    }

    // The name, the address and the values of the detail pane become selectable under the
    // pointer: drawn exactly as before, markup shown as written, a selection outlasts the pointer.
    void selectableLabel_drawsTheSameWhetherSelectableOrNot_data()
    {
        QTest::addColumn<QFont>("font");
        QTest::addColumn<QString>("text");
        QTest::newRow("name") << Typography::withWeight(Typography::title(), QFont::Bold) << QStringLiteral("orders");
        QTest::newRow("markup") << QApplication::font() << QStringLiteral("<b>token</b>");
    }

    void selectableLabel_drawsTheSameWhetherSelectableOrNot()
    {
        QFETCH(QFont, font);
        QFETCH(QString, text);
        auto window = ViewTesting::shown<QWidget>(QSize(400, 100));
        QVERIFY(window);
        auto *label = new SelectableLabel(window.get());
        label->setFont(font);
        label->setText(text);
        // Away from the corner where the pointer of the offscreen platform rests.
        label->setGeometry(QRect(QPoint(0, 50), label->sizeHint()));
        label->show();
        QVERIFY(!label->underMouse());
        const QImage plain = label->grab().toImage();
        QCOMPARE(label->textFormat(), Qt::PlainText);

        pointAt(*label);
        QCOMPARE(label->grab().toImage(), plain);
        label->setSelection(0, static_cast<int>(text.size()));
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(label, &leave);
        QCOMPARE(label->selectedText(), text);
    }

    // A value never widens the form; one cut off at the edge shows in full as its tooltip and
    // is still copied whole.
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
        auto form = ViewTesting::shown<QWidget>(QSize(300, 100));
        QVERIFY(form);
        auto *value = new FormValue(form.get());
        const QSize emptyHint = value->sizeHint();
        value->setValue(text);
        QCOMPARE(value->sizeHint(), emptyHint);
        value->setGeometry(0, 50, 300, value->sizeHint().height());
        value->show();

        pointAt(*value);
        value->setSelection(0, static_cast<int>(text.size()));
        QCOMPARE(value->selectedText(), text);
        QHelpEvent help(QEvent::ToolTip, QPoint(5, 5), value->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(value, &help);
        QCOMPARE(QToolTip::isVisible() ? QToolTip::text() : QString(), cut ? text : QString());
        QToolTip::hideText();
    }

    // Drawn symbols are kept for their next paint: never one in place of another symbol, tint or
    // look of a disabled button at the same size.
    void symbols_areNeverMistakenForAnother_data()
    {
        QTest::addColumn<QIcon>("second");
        QTest::addColumn<QIcon::Mode>("secondMode");
        const QString play = QStringLiteral("play.circle.fill");
        QTest::newRow("other tint") << Symbols::tinted(play, SystemColors::red()) << QIcon::Normal;
        QTest::newRow("other symbol") << Symbols::tinted(QStringLiteral("stop.circle.fill"), SystemColors::green())
                                      << QIcon::Normal;
        QTest::newRow("disabled") << Symbols::tinted(play, SystemColors::green()) << QIcon::Disabled;
    }

    void symbols_areNeverMistakenForAnother()
    {
        QFETCH(QIcon, second);
        QFETCH(QIcon::Mode, secondMode);
        const QIcon first = Symbols::tinted(QStringLiteral("play.circle.fill"), SystemColors::green());
        const QSize size(24, 24);
        const QImage firstImage = first.pixmap(size).toImage();
        QCOMPARE(first.pixmap(size).toImage(), firstImage);
        QVERIFY(second.pixmap(size, secondMode).toImage() != firstImage);
    }

    // What is on the screen, not what a fresh rendering would show: a change reaches the window
    // through a repaint of its own row, and the other rows stay as they were.
    void sidebar_repaintsTheChangedRowOnScreen_data()
    {
        QTest::addColumn<bool>("rename");
        QTest::addColumn<int>("row");
        QTest::newRow("start") << false << 2;
        QTest::newRow("rename") << true << 1;
    }

    void sidebar_repaintsTheChangedRowOnScreen()
    {
        QFETCH(bool, rename);
        QFETCH(int, row);
        ViewFixture fixture;
        QList<HalvexInstance> records;
        for (const char *name : {"alpha", "beta", "gamma"})
            records.append(fixture.add(QString::fromLatin1(name)));
        auto view = ViewTesting::shown<InstanceListView>(QSize(260, 200), fixture.instances.get());
        QVERIFY(view);
        const auto shownRow = [&view](int row) {
            const QRect rect = view->visualRect(view->model()->index(row, 0));
            const QPoint at = view->viewport()->mapTo(view.get(), rect.topLeft());
            return view->screen()->grabWindow(view->winId(), at.x(), at.y(), rect.width(), rect.height()).toImage();
        };
        QList<QImage> before;
        for (int i = 0; i < records.size(); ++i)
            before.append(shownRow(i));

        if (rename) {
            records[row].name = QStringLiteral("bee");
            fixture.instances->updateInstance(records.at(row));
        } else {
            fixture.instances->markInstanceRunning(records.at(row).id);
        }
        QTRY_VERIFY(shownRow(row) != before.at(row));
        for (int i = 0; i < records.size(); ++i) {
            if (i != row)
                QCOMPARE(shownRow(i), before.at(i));
        }
    }
};

QTEST_MAIN(TestViewPainting)
#include "tst_viewpainting.moc"
