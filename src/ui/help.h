#pragma once

#include <QString>

#include <functional>

class QUrl;
class QWidget;

// Hands a URL to the desktop; false when nothing could open it.
using UrlOpener = std::function<bool(const QUrl &)>;

// Replaces the desktop's opener (QDesktopServices::openUrl), e.g. by a recording stand-in; an empty
// function brings the desktop's back.
void setUrlOpener(UrlOpener opener);

// Hands `url` to the desktop through the opener in use; false when nothing could open it.
bool openUrlOnDesktop(const QUrl &url);

// Opens the help for the running executable: `page` (no page: "index.html") of the HTML copy beside it
// in the program's help window (helpwindow.h), the copy's first page when it lacks that one. Without
// the HTML copy the compiled .chm goes to the desktop; when there is no help or nothing opens it, a
// message box names the file to open by hand.
void openHelpFile(QWidget *parent, const QString &page = QString());

// F1 and the Help key in `window` (and the dialogs' controls inside it) open `page` of the help; a tab
// shown in the window whose page carries the property "helpPage" opens that page instead.
void installHelpKey(QWidget *window, const QString &page);
