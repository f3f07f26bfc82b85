#pragma once

#include <QString>

#include <functional>

class QObject;

// The mail password in the desktop's secret service (GNOME Keyring, KWallet, KeePassXC: the freedesktop
// Secret Service) through QtKeychain: one item per account and server in the default, persistent
// collection, labelled with the program's name. QtKeychain's item schema ("org.qt.keychain") has the
// attributes user, server and type; server holds the program's name and user "<account>@<SMTP server>",
// so `secret-tool lookup user <account>@<server> server "Easy VELUNA"` finds it.
//
// Both calls return at once; the answer comes later through the event loop, so the window never waits
// for the bus, the service or a prompt that unlocks the keyring.
namespace MailKeyring {

// The label of every item and its "server" attribute.
QString serviceName();

// The "user" attribute of the item of an account on an SMTP server.
QString itemKey(const QString &account, const QString &server);

// Looks the password up; done(password) runs while context exists, with the empty text when there is no
// item or no secret service.
void readPassword(const QString &account, const QString &server, QObject *context,
                  std::function<void(const QString &password)> done);

// Stores the password. done(true, {}) once the secret service holds it; done(false, logLine) when there
// is none to hold it (no session bus, no service, a locked keyring the user declined to open), logLine
// saying in one line that it goes to setting.ini and why. done always runs, also after whoever asked is
// gone, so that the caller can still put the password where it belongs. An empty password is not
// stored: done(false, {}) at once.
void storePassword(const QString &account, const QString &server, const QString &password,
                   std::function<void(bool inKeyring, const QString &logLine)> done);

} // namespace MailKeyring
