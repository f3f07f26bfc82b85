#include "help.h"

#include "guard.h"
#include "helpfile.h"
#include "variable.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QKeySequence>
#include <QShortcut>
#include <QUrl>
#include <QWidget>

namespace {

UrlOpener &urlOpener()
{
    static UrlOpener opener;
    return opener;
}

bool openUrl(const QUrl &url)
{
    return urlOpener() ? urlOpener()(url) : QDesktopServices::openUrl(url);
}

} // namespace

void setUrlOpener(UrlOpener opener)
{
    urlOpener() = std::move(opener);
}

void openHelpFile(QWidget *parent, const QString &page)
{
    const QString executable = QCoreApplication::applicationFilePath();
    const QString chm = Variable::helpFilePath(executable);
    const QString html = HelpFile::htmlIndexPath(executable);
    const QString htmlPage = QFileInfo(html).dir().filePath(page);
    QString target;
    if (!page.isEmpty() && page != QFileInfo(html).fileName() && QFileInfo(htmlPage).isFile()) {
        target = htmlPage;
    } else {
        target = HelpFile::chooseHelpTarget(chm, html, HelpFile::desktopHasChmViewer());
    }
    if (target.isEmpty()) {
        showInfoBox(parent, QStringLiteral("ヘルプのファイルが見つかりません。\n") + QDir::toNativeSeparators(html));
        return;
    }
    if (openUrl(QUrl::fromLocalFile(target))) {
        return;
    }
    // A .chm viewer that fails to start still leaves the HTML copy for the browser.
    if (target == chm && QFileInfo(html).isFile()) {
        target = html;
        if (openUrl(QUrl::fromLocalFile(target))) {
            return;
        }
    }
    showInfoBox(parent, QStringLiteral("ヘルプを開けませんでした。ブラウザで次のファイルを開いてください。\n") +
                            QDir::toNativeSeparators(target));
}

void installHelpKey(QWidget *window, const QString &page)
{
    for (const Qt::Key key : {Qt::Key_F1, Qt::Key_Help}) {
        auto *shortcut = new QShortcut(QKeySequence(key), window);
        QObject::connect(shortcut, &QShortcut::activated, window,
                         [window, page] { guarded(window, [&] { openHelpFile(window, page); }); });
    }
}
