#pragma once

#include <QUrl>
#include <QWidget>

class QPushButton;
class QTextBrowser;

// The help in a window of the program, over the HTML pages beside the executable: links within the
// help are followed here (with 戻る back to the page before), links to the web go to the desktop, and
// "ブラウザで開く" hands the page shown to the desktop's browser. One window serves the whole program;
// it stays above the window it was opened from, also a modal dialog, whose input it does not block.
class HelpWindow final : public QWidget
{
    Q_OBJECT

public:
    // Shows the one help window at `page` (a file of the HTML copy), brought to the front and owned by
    // `from`'s window so that a modal dialog there leaves it usable.
    static HelpWindow *showPage(QWidget *from, const QString &page);

    QUrl source() const;

private:
    explicit HelpWindow(QWidget *parent);
    void followLink(const QUrl &link);
    void openInBrowser();

    QTextBrowser *m_browser;
    QPushButton *m_back;
};
