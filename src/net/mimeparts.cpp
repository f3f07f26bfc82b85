#include "mimeparts.h"

namespace {

const QByteArray TextHeaders = "Content-Type: text/plain; charset=ISO-2022-JP\r\n"
                               "Content-Transfer-Encoding: 7bit\r\n";

QByteArray base64Lines(const QByteArray &data)
{
    const QByteArray encoded = data.toBase64();
    QByteArray lines;
    for (qsizetype start = 0; start < encoded.size(); start += 76) {
        lines += encoded.mid(start, 76) + "\r\n";
    }
    return lines;
}

} // namespace

QByteArray MimeBody(const QByteArray &jisText, const QList<MailAttachment> &attachments, const QByteArray &boundary)
{
    if (attachments.isEmpty()) {
        return TextHeaders + "\r\n" + jisText;
    }
    // "=_" cannot occur in Base64 or in a header line of these parts, so the delimiter is never content.
    const QByteArray delimiter = "--=_" + boundary;
    QByteArray body = "Content-Type: multipart/mixed; boundary=\"=_" + boundary + "\"\r\n\r\n";
    // The CR LF before each delimiter belongs to the delimiter: the text keeps its own last line end.
    body += delimiter + "\r\n" + TextHeaders + "\r\n" + jisText;
    for (const MailAttachment &attachment : attachments) {
        body += "\r\n" + delimiter + "\r\nContent-Type: " + attachment.contentType + "; name=\"" + attachment.fileName +
                "\"\r\nContent-Transfer-Encoding: base64\r\n" + "Content-Disposition: attachment; filename=\"" +
                attachment.fileName + "\"\r\n\r\n" + base64Lines(attachment.data);
    }
    return body + "\r\n" + delimiter + "--\r\n";
}
