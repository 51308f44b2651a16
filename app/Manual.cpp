// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Manual.h"

#include "app/ScreenFit.h"

#include <QFile>
#include <QShortcut>
#include <QTextBrowser>

namespace {

constexpr QSize kManualSize(760, 720);

// The man page's scdoc markup is close enough to Markdown to be shown as such: "# " headings,
// "- " lists, *emphasis*; its first line names the page and its section, the title says that.
QString manualMarkdown() {
    QFile page(QStringLiteral(":/manual/tidylander.1.scd"));
    if (!page.open(QIODevice::ReadOnly))
        return QStringLiteral("The manual is missing from this build of tidylander.");
    const QString text = QString::fromUtf8(page.readAll());
    return text.mid(text.indexOf(QLatin1Char('\n')) + 1);
}

} // namespace

void showManual(QWidget* owner) {
    const QString name = QStringLiteral("Manual");
    auto* manual = owner->findChild<QTextBrowser*>(name, Qt::FindDirectChildrenOnly);
    if (manual == nullptr) {
        manual = new QTextBrowser(owner);
        manual->setWindowFlag(Qt::Window);
        manual->setAttribute(Qt::WA_DeleteOnClose);
        manual->setObjectName(name);
        manual->setWindowTitle(QStringLiteral("tidylander manual"));
        manual->setMarkdown(manualMarkdown());
        new QShortcut(QKeySequence(Qt::Key_Escape), manual, manual, &QWidget::close);
        tidy::openWithin(*manual, kManualSize, *owner);
    }
    manual->show();
    manual->raise();
    manual->activateWindow();
}
