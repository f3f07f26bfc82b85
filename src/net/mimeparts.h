#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// A file sent along with the mail text, Base64-encoded in lines of 76 characters.
struct MailAttachment
{
    QByteArray contentType; // with its parameters: "text/calendar; charset=UTF-8; method=PUBLISH"
    QByteArray fileName;    // plain ASCII without quotes: "eveluna.ics"
    QByteArray data;
};

// The message's MIME entity from its Content-Type header on: header lines, an empty line, the content.
// Without attachments the ISO-2022-JP text alone (text/plain, 7bit). With them multipart/mixed: first
// that same text part with the same bytes, then each attachment. jisText ends with CR LF; the boundary
// (at most 64 characters of letters, digits and "-") must not occur in it.
QByteArray MimeBody(const QByteArray &jisText, const QList<MailAttachment> &attachments, const QByteArray &boundary);
