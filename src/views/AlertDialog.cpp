// SPDX-License-Identifier: MIT
#include "AlertDialog.h"

#include "ProminentButton.h"
#include "SystemColors.h"

#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QStyle>

namespace {

constexpr int charactersPerLine = 60;

} // namespace

AlertDialog::AlertDialog(Kind kind, const QString &title, const QString &message, QWidget *parent)
    : QDialog(parent)
    , m_message(new QLabel(message, this))
    , m_buttons(new QDialogButtonBox(this))
{
    setWindowTitle(title);
    setAccessibleName(title);
    setAccessibleDescription(message);

    auto *grid = new QGridLayout(this);
    grid->setSizeConstraint(QLayout::SetFixedSize);
    grid->setHorizontalSpacing(style()->pixelMetric(QStyle::PM_LayoutHorizontalSpacing) * 2);
    int column = 0;
    if (kind == Kind::Warning) {
        auto *icon = new QLabel(this);
        const int size = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
        icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning, nullptr, this).pixmap(size, size));
        grid->addWidget(icon, 0, column++, Qt::AlignTop);
    }
    m_message->setTextFormat(Qt::PlainText);
    m_message->setWordWrap(true);
    m_message->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // The title bar, drawn by the window manager, must not be cut either.
    const int titleRoom = fontMetrics().horizontalAdvance(title) * 3 / 2;
    m_message->setFixedWidth(qMax(messageWidth(message, font()), titleRoom));
    grid->addWidget(m_message, 0, column);
    // Apart from the message, as a paragraph is from the next.
    grid->setRowMinimumHeight(1, fontMetrics().height() / 2);
    grid->addWidget(m_buttons, 2, 0, 1, column + 1);

    connect(m_buttons, &QDialogButtonBox::clicked, this, [this](QAbstractButton *button) {
        m_clicked = qobject_cast<QPushButton *>(button);
        const QDialogButtonBox::ButtonRole role = m_buttons->buttonRole(button);
        done(role == QDialogButtonBox::AcceptRole || role == QDialogButtonBox::YesRole ? Accepted : Rejected);
    });
}

int AlertDialog::messageWidth(const QString &message, const QFont &font)
{
    const QFontMetrics metrics(font);
    int longestLine = 0;
    for (const QString &line : message.split(u'\n'))
        longestLine = qMax(longestLine, metrics.horizontalAdvance(line));
    int longestWord = 0;
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    for (const QString &word : message.split(blanks, Qt::SkipEmptyParts))
        longestWord = qMax(longestWord, metrics.horizontalAdvance(word));
    // A path longer than a line stays whole, but no wider than most of a screen.
    const int screenRoom = QGuiApplication::primaryScreen()->availableGeometry().width() * 3 / 4;
    const int readable = metrics.averageCharWidth() * charactersPerLine;
    return qMin(qMax(qMin(longestLine, readable), longestWord), screenRoom) + 1;
}

QPushButton *AlertDialog::addButton(const QString &text, QDialogButtonBox::ButtonRole role)
{
    return addedButton(new QPushButton(text, this), role);
}

QPushButton *AlertDialog::addDestructiveButton(const QString &text)
{
    auto *button = new ProminentButton(text, this);
    button->setTint(SystemColors::red());
    return addedButton(button, QDialogButtonBox::DestructiveRole);
}

QPushButton *AlertDialog::addedButton(QPushButton *button, QDialogButtonBox::ButtonRole role)
{
    button->setAccessibleName(button->text());
    const bool first = m_buttons->buttons().isEmpty();
    m_buttons->addButton(button, role);
    // Return presses the focused button, or the first one while none has the focus.
    button->setAutoDefault(true);
    if (first) {
        button->setDefault(true);
        button->setFocus();
    }
    return button;
}
