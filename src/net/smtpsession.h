#pragma once

#include <QString>

#include <functional>

// What the mail dialog sends: server, port (already converted; only its low 16 bits are used),
// AUTH LOGIN account, envelope addresses (unchanged, unchecked) and the body as shown.
struct SmtpRequest
{
    QString host;
    int port = 25;
    QString user;
    QString password;
    QString from;
    QString to;
    QString body;
};

enum class SmtpVerdict { Sent, Failed };

// Runs one SMTP dialogue on a new TKTcpClient: greeting, HELO, AUTH LOGIN with the account and the
// password in Base64, MAIL FROM, RCPT TO, DATA, a "Subject: EasyVELUNA Plus" header, the body in
// ISO-2022-JP, ".", QUIT. Exactly one reply line is read after each command that has a reply and is
// handed to addLog; replies are never treated as failures and the dialogue always runs to its end.
// Sent only when the line read after "." is a 2xx reply and the QUIT reply contains "221".
// Network failures propagate as EKTcpClient; the client is closed on every path.
SmtpVerdict RunSmtpSession(const SmtpRequest &request, const std::function<void(const QString &)> &addLog);
