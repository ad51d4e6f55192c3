// SPDX-License-Identifier: MIT
#include "OffscreenByDefault.h"
#include "ViewFixture.h"

#include "views/AboutView.h"
#include "views/AccessibleStyle.h"
#include "views/AddEditInstanceView.h"
#include "views/AlertDialog.h"
#include "views/ContentView.h"
#include "views/DialogPrompter.h"
#include "views/MainView.h"
#include "views/ProminentButton.h"
#include "views/SettingsView.h"
#include "views/SystemColors.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QStyleFactory>
#include <QTest>

// Every window, walked as a keyboard and screen reader user meets it: each control the keyboard
// can reach has a name to be read out, Tab reaches every one of them, and the dialogs answer
// Return and Escape. Text stays readable in light and dark palettes.
class TestAccessibility : public QObject
{
    Q_OBJECT

public:
    static void initMain() { drawOffscreenByDefault(); }

private:
    std::unique_ptr<ViewFixture> m_fixture;
    std::unique_ptr<ContentView> m_main;
    DialogPrompter m_dialogs;
    std::optional<bool> m_confirmed;

    // The window of the kind named, shown over the main window (two instances, one selected, a
    // usable executable) and active.
    QWidget *open(const QString &kind)
    {
        m_fixture->configureExecutable(m_fixture->path(QStringLiteral("halvex")));
        m_fixture->add(QStringLiteral("billing"));
        m_main = std::make_unique<ContentView>(m_fixture->context());
        m_main->mainView()->selectInstance(m_fixture->add(QStringLiteral("orders")).id);
        m_main->show();
        MainView *view = m_main->mainView();
        QWidget *window = nullptr;
        if (kind == QStringLiteral("main window")) {
            window = m_main.get();
        } else if (kind == QStringLiteral("settings")) {
            view->showSettings();
            window = view->settingsSheet();
        } else if (kind == QStringLiteral("instance form")) {
            view->showAddInstance();
            window = view->instanceForm();
        } else if (kind == QStringLiteral("about")) {
            m_main->showAbout();
            window = m_main->aboutView();
        } else if (kind == QStringLiteral("alert")) {
            m_dialogs.alert(view, QStringLiteral("Error"), QStringLiteral("An instance with this name already exists"));
            window = shownAlert();
        } else if (kind == QStringLiteral("question")) {
            m_dialogs.confirm(view, QStringLiteral("Delete Instance"), QStringLiteral("The instance will be removed."),
                              QStringLiteral("Delete"), [this](bool confirmed) { m_confirmed = confirmed; });
            window = shownAlert();
        }
        if (!window || !QTest::qWaitForWindowExposed(m_main.get()) || !QTest::qWaitForWindowExposed(window))
            return nullptr;
        window->activateWindow();
        return QTest::qWaitForWindowActive(window) ? window : nullptr;
    }

    static AlertDialog *shownAlert()
    {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (auto *alert = qobject_cast<AlertDialog *>(widget); alert && alert->isVisible())
                return alert;
        }
        return nullptr;
    }

    // The controls of window, and of no window inside it, that the keyboard must reach: those
    // that take the focus by Tab, and every button, field, list and link whatever its focus policy.
    static QList<QWidget *> keyboardControls(QWidget *window)
    {
        QList<QWidget *> controls;
        for (QWidget *widget : window->findChildren<QWidget *>()) {
            if (widget->window() != window || !widget->isVisibleTo(window) || !widget->isEnabled() ||
                widget->focusProxy())
                continue;
            const auto *label = qobject_cast<QLabel *>(widget);
            const bool interactive = qobject_cast<QAbstractButton *>(widget) || qobject_cast<QLineEdit *>(widget) ||
                                     qobject_cast<QAbstractItemView *>(widget) || (label && label->openExternalLinks());
            if (interactive || (widget->focusPolicy() & Qt::TabFocus))
                controls.append(widget);
        }
        return controls;
    }

    static QString accessibleName(QWidget *widget)
    {
        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(widget);
        return accessible ? accessible->text(QAccessible::Name).trimmed() : QString();
    }

    static QByteArray describe(QWidget *widget, const char *fault)
    {
        return widget->metaObject()->className() + (" '" + accessibleName(widget).toUtf8() + "' ") + fault;
    }

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
    void cleanup()
    {
        m_main.reset();
        m_fixture.reset();
        m_confirmed.reset();
    }

    void everyWindow_namesAndReachesItsControls_data()
    {
        QTest::addColumn<QString>("kind");
        for (const char *kind : {"main window", "settings", "instance form", "about", "alert", "question"})
            QTest::newRow(kind) << QString::fromLatin1(kind);
    }

    void everyWindow_namesAndReachesItsControls()
    {
        QFETCH(QString, kind);
        m_fixture = std::make_unique<ViewFixture>();
        QWidget *window = open(kind);
        QVERIFY(window);
        const QList<QWidget *> controls = keyboardControls(window);
        QVERIFY(!controls.isEmpty());
        for (QWidget *control : controls)
            QVERIFY2(!accessibleName(control).isEmpty(), describe(control, "has no name"));

        // Tab goes round every control and comes back to where it started.
        if (!QApplication::focusWidget() || QApplication::focusWidget()->window() != window)
            controls.first()->setFocus(Qt::TabFocusReason);
        QWidget *start = QApplication::focusWidget();
        QVERIFY(start);
        QSet<QWidget *> reached;
        for (qsizetype i = 0; i <= controls.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            reached.insert(QApplication::focusWidget());
            if (QApplication::focusWidget() == start)
                break;
        }
        QCOMPARE(QApplication::focusWidget(), start);
        for (QWidget *control : controls)
            QVERIFY2(reached.contains(control), describe(control, "is not reached by Tab"));
    }

    void dialogs_answerReturnAndEscape_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("result");
        QTest::newRow("settings: Return is Done") << "settings" << int(Qt::Key_Return) << int(QDialog::Accepted);
        QTest::newRow("settings: Escape closes") << "settings" << int(Qt::Key_Escape) << int(QDialog::Rejected);
        // A new instance's form opens with its name and token empty.
        QTest::newRow("form: Return on incomplete entries") << "instance form" << int(Qt::Key_Return) << -1;
        QTest::newRow("form: Escape cancels") << "instance form" << int(Qt::Key_Escape) << int(QDialog::Rejected);
        QTest::newRow("alert: Return closes") << "alert" << int(Qt::Key_Return) << int(QDialog::Rejected);
        QTest::newRow("alert: Escape closes") << "alert" << int(Qt::Key_Escape) << int(QDialog::Rejected);
        QTest::newRow("question: Return keeps") << "question" << int(Qt::Key_Return) << int(QDialog::Rejected);
        QTest::newRow("question: Escape keeps") << "question" << int(Qt::Key_Escape) << int(QDialog::Rejected);
    }

    void dialogs_answerReturnAndEscape()
    {
        QFETCH(QString, kind);
        QFETCH(int, key);
        QFETCH(int, result);
        m_fixture = std::make_unique<ViewFixture>();
        auto *dialog = qobject_cast<QDialog *>(open(kind));
        QVERIFY(dialog);
        QSignalSpy finished(dialog, &QDialog::finished);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
        QCOMPARE(finished.isEmpty() ? -1 : finished.first().first().toInt(), result);
        if (kind == QStringLiteral("question"))
            QTRY_COMPARE(m_confirmed, std::optional<bool>(false));
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

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
