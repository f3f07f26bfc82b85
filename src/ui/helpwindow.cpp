#include "helpwindow.h"

#include "buttonkeys.h"
#include "guard.h"
#include "help.h"
#include "look.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPointer>
#include <QPushButton>
#include <QShortcut>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace {

QPointer<HelpWindow> &theWindow()
{
    static QPointer<HelpWindow> window;
    return window;
}

} // namespace

HelpWindow::HelpWindow(QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_browser(new QTextBrowser(this))
    , m_back(new QPushButton(QStringLiteral("戻る (&B)"), this))
{
    setObjectName(QStringLiteral("helpWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Easy VELUNA ヘルプ"));
    m_browser->setObjectName(QStringLiteral("helpBrowser"));
    m_browser->setOpenLinks(false);
    m_browser->setAccessibleName(QStringLiteral("ヘルプの本文"));
    auto *contents = new QPushButton(QStringLiteral("目次 (&C)"), this);
    auto *browser = new QPushButton(QStringLiteral("ブラウザで開く (&O)"), this);
    browser->setObjectName(QStringLiteral("btnBrowser"));
    m_back->setObjectName(QStringLiteral("btnBack"));
    auto *close = new QPushButton(QStringLiteral("閉じる"), this);
    m_back->setEnabled(false);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_back);
    buttons->addWidget(contents);
    buttons->addStretch();
    buttons->addWidget(browser);
    buttons->addWidget(close);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(m_browser, 1);
    useDesignFont(this);
    followButtonConventions(this);
    resize(720, 640);

    connect(m_browser, &QTextBrowser::backwardAvailable, m_back, &QPushButton::setEnabled);
    connect(m_back, &QPushButton::clicked, m_browser, &QTextBrowser::backward);
    connect(contents, &QPushButton::clicked, this,
            [this] { m_browser->setSource(m_browser->source().resolved(QUrl(QStringLiteral("index.html")))); });
    connect(m_browser, &QTextBrowser::anchorClicked, this,
            [this](const QUrl &link) { guarded(this, [&] { followLink(link); }); });
    connect(browser, &QPushButton::clicked, this, [this] { guarded(this, [this] { openInBrowser(); }); });
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    // Esc closes it, as it closes every dialog of the program.
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this, &QWidget::close);
}

HelpWindow *HelpWindow::showPage(QWidget *from, const QString &page)
{
    QWidget *owner = from != nullptr ? from->window() : nullptr;
    HelpWindow *window = theWindow();
    if (window == nullptr) {
        window = new HelpWindow(owner);
        theWindow() = window;
    } else if (window->parentWidget() != owner) {
        // Above the window F1 came from: a modal dialog blocks every window but its own children.
        const QRect geometry = window->geometry();
        window->setParent(owner, Qt::Window);
        window->setGeometry(geometry);
    }
    window->m_browser->setSource(QUrl::fromLocalFile(page));
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

QUrl HelpWindow::source() const
{
    return m_browser->source();
}

void HelpWindow::followLink(const QUrl &link)
{
    const QUrl target = m_browser->source().resolved(link);
    // A page of the help (or a place in one) is shown here; anything else is the desktop's to open.
    if (target.isLocalFile() && QFileInfo(target.toLocalFile()).isFile()) {
        m_browser->setSource(target);
    } else if (!openUrlOnDesktop(target)) {
        showInfoBox(this, QStringLiteral("リンク先を開けませんでした。\n") + target.toDisplayString());
    }
}

void HelpWindow::openInBrowser()
{
    const QUrl page = m_browser->source();
    if (!openUrlOnDesktop(page)) {
        showInfoBox(this, QStringLiteral("ヘルプを開けませんでした。ブラウザで次のファイルを開いてください。\n") +
                              QDir::toNativeSeparators(page.toLocalFile()));
    }
}
