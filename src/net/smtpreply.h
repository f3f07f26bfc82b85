#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class TKTcpClient;

// The most one reply may hold: a server that streams continuation lines for ever would otherwise keep
// the session alive and its log growing.
constexpr int MaxReplyLines = 100;
constexpr qsizetype MaxReplySize = 64 * 1024; // characters, each line counted with its CR LF

// Reads one whole reply: its "NNN-" continuation lines up to the "NNN " (or bare "NNN") line. Every line
// must begin with the same three digits followed by a space, a hyphen or the line end; anything else is
// a protocol error, and so is a reply over MaxReplyLines or MaxReplySize. Each line goes to addLog once it
// has passed these checks. Throws EKTcpClient.
QStringList ReadSmtpReply(TKTcpClient &client, const std::function<void(const QString &)> &addLog);
