// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/window/Manual.h"

#include "gui/widgets/ScreenFit.h"

#include <QFile>
#include <QShortcut>
#include <QTextBrowser>

namespace {

constexpr QSize kManualSize(760, 720);

// The man page's scdoc markup is close enough to Markdown to be shown as such: "- " lists,
// *emphasis*. Its first line names the page and its section, which the title says; its "# "
// sections become smaller headings, and a term keeps its tab-indented description on a line of
// its own.
QString manualMarkdown() {
    QFile page(QStringLiteral(":/manual/tidylander.1.scd"));
    if (!page.open(QIODevice::ReadOnly))
        return QStringLiteral("The manual is missing from this build of tidylander.");
    QStringList lines = QString::fromUtf8(page.readAll()).split(QLatin1Char('\n'));
    lines.removeFirst();
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (lines[i].startsWith(QLatin1String("# ")))
            lines[i].prepend(QLatin1String("##"));
        else if (!lines[i].isEmpty() && !lines[i].startsWith(QLatin1Char('\t')) &&
                 i + 1 < lines.size() && lines[i + 1].startsWith(QLatin1Char('\t')))
            lines[i].append(QLatin1String("  ")); // a hard line break in Markdown
    }
    return lines.join(QLatin1Char('\n'));
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
