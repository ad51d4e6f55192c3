// SPDX-License-Identifier: MIT
#include "OffscreenByDefault.h"
#include "ViewFixture.h"
#include "ViewTesting.h"

#include "views/FormValue.h"
#include "views/InstanceListView.h"
#include "views/ProminentButton.h"
#include "views/SelectableLabel.h"
#include "views/SystemColors.h"

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

    // The name, the address and the values of the detail pane become selectable under the
    // pointer: drawn exactly as before, markup shown as written, a selection outlasting the
    // pointer; a value never widens the form, and one cut off shows in full as its tooltip.
    void labels_drawTheSameSelectableOrNot_data()
    {
        QTest::addColumn<bool>("value");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("cut");
        QTest::newRow("name") << false << QStringLiteral("orders") << false;
        QTest::newRow("markup") << false << QStringLiteral("<b>token</b>") << false;
        QTest::newRow("port") << true << QStringLiteral("5432") << false;
        QTest::newRow("long path") << true << QStringLiteral("/srv/data/").repeated(20) << true;
    }

    void labels_drawTheSameSelectableOrNot()
    {
        QFETCH(bool, value);
        QFETCH(QString, text);
        QFETCH(bool, cut);
        auto window = ViewTesting::shown<QWidget>(QSize(300, 100));
        QVERIFY(window);
        SelectableLabel *label = value ? new FormValue(window.get()) : new SelectableLabel(window.get());
        const QSize emptyHint = label->sizeHint();
        if (value)
            static_cast<FormValue *>(label)->setValue(text);
        else
            label->setText(text);
        if (value)
            QCOMPARE(label->sizeHint(), emptyHint);
        // Away from the corner where the pointer of the offscreen platform rests.
        label->setGeometry(0, 50, value ? 300 : label->sizeHint().width(), label->sizeHint().height());
        label->show();
        QVERIFY(!label->underMouse());
        const QImage plain = label->grab().toImage();
        QCOMPARE(label->textFormat(), Qt::PlainText);

        QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), label->mapToGlobal(QPointF(5, 5)));
        QApplication::sendEvent(label, &enter);
        QCOMPARE(label->grab().toImage(), plain);
        label->setSelection(0, static_cast<int>(text.size()));
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(label, &leave);
        QCOMPARE(label->selectedText(), text);
        QHelpEvent help(QEvent::ToolTip, QPoint(5, 5), label->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(label, &help);
        QCOMPARE(QToolTip::isVisible() ? QToolTip::text() : QString(), cut ? text : QString());
        QToolTip::hideText();
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
