// SPDX-License-Identifier: MIT
#include "LogFindBar.h"

#include "LogSearch.h"
#include "SystemColors.h"
#include "Typography.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QToolButton>

LogFindBar::LogFindBar(LogSearch *search, QWidget *parent)
    : QWidget(parent)
    , m_search(search)
    , m_field(new QLineEdit(this))
    , m_count(new QLabel(this))
    , m_previous(new QToolButton(this))
    , m_next(new QToolButton(this))
    , m_matchCase(new QCheckBox(QStringLiteral("Match Case"), this))
{
    SystemColors::fillWithControlBackground(this);
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(8, 4, 8, 4);
    row->setSpacing(6);

    m_field->setPlaceholderText(QStringLiteral("Find in log"));
    m_field->setAccessibleName(QStringLiteral("Find in log"));
    m_field->setClearButtonEnabled(true);
    m_field->installEventFilter(this);
    row->addWidget(m_field, 1);

    m_count->setFont(Typography::caption());
    SystemColors::makeSecondary(m_count);
    row->addWidget(m_count);

    const auto setUp = [this, row](QToolButton *button, QStyle::StandardPixmap icon, const QString &name) {
        button->setIcon(style()->standardIcon(icon, nullptr, button));
        button->setToolTip(name);
        button->setAccessibleName(name);
        button->setAutoRaise(true);
        row->addWidget(button);
    };
    setUp(m_previous, QStyle::SP_ArrowUp, QStringLiteral("Previous Match"));
    setUp(m_next, QStyle::SP_ArrowDown, QStringLiteral("Next Match"));
    connect(m_previous, &QToolButton::clicked, m_search, &LogSearch::previous);
    connect(m_next, &QToolButton::clicked, m_search, &LogSearch::next);

    row->addWidget(m_matchCase);
    auto *done = new QToolButton(this);
    done->setText(QStringLiteral("Done"));
    done->setAutoRaise(true);
    connect(done, &QToolButton::clicked, this, &LogFindBar::dismiss);
    row->addWidget(done);

    connect(m_field, &QLineEdit::textChanged, this, &LogFindBar::searchAgain);
    connect(m_matchCase, &QCheckBox::toggled, this, &LogFindBar::searchAgain);
    connect(m_search, &LogSearch::changed, this, &LogFindBar::updateCount);
    updateCount();
    hide();
}

QString LogFindBar::countText() const
{
    return m_count->text();
}

void LogFindBar::open()
{
    if (isHidden()) {
        show();
        // The text of the last search is still there, to be used again or typed over.
        if (!m_field->text().isEmpty())
            searchAgain();
    }
    m_field->setFocus(Qt::ShortcutFocusReason);
    m_field->selectAll();
}

void LogFindBar::searchAgain()
{
    emit searchChanged(m_field->text(), m_matchCase->isChecked() ? Qt::CaseSensitive : Qt::CaseInsensitive);
}

void LogFindBar::dismiss()
{
    const bool hadFocus = isAncestorOf(focusWidget());
    hide();
    emit searchChanged(QString(), Qt::CaseInsensitive);
    if (hadFocus && parentWidget())
        parentWidget()->setFocus(Qt::OtherFocusReason);
}

bool LogFindBar::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_field && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        switch (key->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (key->modifiers() & Qt::ShiftModifier)
                m_search->previous();
            else
                m_search->next();
            return true;
        case Qt::Key_Escape:
            dismiss();
            return true;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void LogFindBar::updateCount()
{
    const bool searching = !m_search->text().isEmpty();
    const bool found = m_search->count() > 0;
    if (!searching)
        m_count->clear();
    else if (!found)
        m_count->setText(QStringLiteral("No matches"));
    else
        m_count->setText(QStringLiteral("%1 of %2").arg(m_search->currentIndex() + 1).arg(m_search->count()));
    m_previous->setEnabled(found);
    m_next->setEnabled(found);
}
