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

// Opens the help for the running executable through the desktop. No page (or "index.html"): the
// compiled .chm when a viewer for it exists, else the HTML copy. A page of another window: that page of
// the HTML copy, which a browser opens at the right place; the whole help when the copy lacks it. When
// there is no help or nothing opens it, a message box names the file to open by hand.
void openHelpFile(QWidget *parent, const QString &page = QString());

// F1 and the Help key in `window` (and the dialogs' controls inside it) open `page` of the help.
void installHelpKey(QWidget *window, const QString &page);
