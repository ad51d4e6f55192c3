// SPDX-License-Identifier: MIT
#include "AboutView.h"

#include "SystemColors.h"
#include "Typography.h"
#include "core/AppSettings.h"
#include "core/Version.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QStyle>
#include <QTextDocument>
#include <QVBoxLayout>
#include <QtMath>

#include <algorithm>

// Outside any namespace: the resource initialiser it declares lives at global scope.
static void initAboutResources()
{
    Q_INIT_RESOURCE(about);
}

namespace {

QLabel *selectableLabel(QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setWordWrap(true);
    return label;
}

QString licenseFileText()
{
    initAboutResources();
    QFile file(QStringLiteral(":/about/LICENSE"));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

AboutView::AboutView(AppSettings *settings, QWidget *parent)
    : QDialog(parent)
    , m_settings(settings)
{
    setWindowTitle(QStringLiteral("About Halvex Kelvane"));
    auto *column = new QVBoxLayout(this);

    auto *identity = new QHBoxLayout;
    auto *icon = new QLabel(this);
    icon->setPixmap(QApplication::windowIcon().pixmap(QSize(64, 64), devicePixelRatioF()));
    identity->addWidget(icon, 0, Qt::AlignTop);
    auto *lines = new QVBoxLayout;
    auto *name = new QLabel(QStringLiteral("Halvex Kelvane"), this);
    name->setFont(Typography::withWeight(Typography::title2(), QFont::DemiBold));
    lines->addWidget(name);
    m_version = selectableLabel(this);
    m_version->setText(QStringLiteral("Version ") + QStringLiteral(HALVEX_KELVANE_VERSION));
    lines->addWidget(m_version);
    auto *purpose = new QLabel(QStringLiteral("Runs and manages local Halvex database servers."), this);
    purpose->setFont(Typography::caption());
    SystemColors::makeSecondary(purpose);
    lines->addWidget(purpose);
    identity->addLayout(lines, 1);
    column->addLayout(identity);

    auto *places = new QFormLayout;
    m_stateDirectory = selectableLabel(this);
    places->addRow(QStringLiteral("State directory:"), m_stateDirectory);
    m_serverExecutable = selectableLabel(this);
    places->addRow(QStringLiteral("Server executable:"), m_serverExecutable);
    column->addLayout(places);

    column->addSpacing(8);
    auto *licenseTitle = new QLabel(QStringLiteral("Released under the MIT License:"), this);
    licenseTitle->setFont(Typography::headline());
    column->addWidget(licenseTitle);
    m_license = new QPlainTextEdit(licenseFileText(), this);
    m_license->setReadOnly(true);
    m_license->setFont(Typography::monospacedCaption());
    m_license->setAccessibleName(QStringLiteral("License"));
    // Wide enough for the licence's lines as they were written, a scroll bar beside them.
    m_license->setLineWrapMode(QPlainTextEdit::NoWrap);
    int widest = 0;
    const QFontMetrics metrics(m_license->font());
    for (const QString &line : m_license->toPlainText().split(u'\n'))
        widest = std::max(widest, metrics.horizontalAdvance(line));
    m_license->setMinimumWidth(widest + 2 * m_license->frameWidth() +
                               2 * qCeil(m_license->document()->documentMargin()) +
                               style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 8);
    column->addWidget(m_license, 1);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    column->addWidget(buttons);

    connect(m_settings, &AppSettings::changed, this, &AboutView::refresh);
    refresh();
}

void AboutView::refresh()
{
    m_stateDirectory->setText(QFileInfo(m_settings->settingsFilePath()).absolutePath());
    const QUrl server = m_settings->binaryPath();
    m_serverExecutable->setText(server.isEmpty()       ? QStringLiteral("not configured")
                                : server.isLocalFile() ? server.toLocalFile()
                                                       : server.toString());
}
