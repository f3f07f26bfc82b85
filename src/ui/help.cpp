#include "help.h"

#include "guard.h"
#include "helpfile.h"
#include "helpwindow.h"
#include "variable.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QKeySequence>
#include <QShortcut>
#include <QTabWidget>
#include <QUrl>
#include <QWidget>

namespace {

UrlOpener &urlOpener()
{
    static UrlOpener opener;
    return opener;
}

} // namespace

bool openUrlOnDesktop(const QUrl &url)
{
    return urlOpener() ? urlOpener()(url) : QDesktopServices::openUrl(url);
}

void setUrlOpener(UrlOpener opener)
{
    urlOpener() = std::move(opener);
}

void openHelpFile(QWidget *parent, const QString &page)
{
    const QString executable = QCoreApplication::applicationFilePath();
    const QString html = HelpFile::htmlIndexPath(executable);
    const QString htmlPage = QFileInfo(html).dir().filePath(page);
    if (!page.isEmpty() && QFileInfo(htmlPage).isFile()) {
        HelpWindow::showPage(parent, htmlPage);
        return;
    }
    if (QFileInfo(html).isFile()) {
        HelpWindow::showPage(parent, html);
        return;
    }
    const QString chm = Variable::helpFilePath(executable);
    if (!QFileInfo(chm).isFile()) {
        showInfoBox(parent, QStringLiteral("ヘルプのファイルが見つかりません。\n") + QDir::toNativeSeparators(html));
        return;
    }
    if (!openUrlOnDesktop(QUrl::fromLocalFile(chm))) {
        showInfoBox(parent, QStringLiteral("ヘルプを開けませんでした。ブラウザで次のファイルを開いてください。\n") +
                                QDir::toNativeSeparators(chm));
    }
}

void installHelpKey(QWidget *window, const QString &page)
{
    for (const Qt::Key key : {Qt::Key_F1, Qt::Key_Help}) {
        auto *shortcut = new QShortcut(QKeySequence(key), window);
        QObject::connect(shortcut, &QShortcut::activated, window, [window, page] {
            guarded(window, [&] {
                QString shown = page;
                for (const QTabWidget *tabs : window->findChildren<QTabWidget *>()) {
                    const QWidget *current = tabs->isVisible() ? tabs->currentWidget() : nullptr;
                    if (current != nullptr && current->property("helpPage").isValid()) {
                        shown = current->property("helpPage").toString();
                    }
                }
                openHelpFile(window, shown);
            });
        });
    }
}
