#pragma once

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <stdexcept>

// The parts of a WebDAV multistatus reply (RFC 4918) that the calendar client reads. Only properties of
// a propstat with a 2xx status count; the rest of the document is passed over.
struct DavResponse
{
    QString href; // as the server wrote it, percent-encoded, usually a path
    QString etag;
    QString displayName;
    QSet<QString> resourceTypes; // local names of the elements in resourcetype: "collection", "calendar"
    QString principal;           // current-user-principal's href
    QString calendarHome;        // calendar-home-set's first href
    QStringList components;      // supported-calendar-component-set: "VEVENT", "VTODO"
    QByteArray calendarData;     // calendar-data, UTF-8
    bool hasComponentSet = false;
};

// A reply that is not a well-formed multistatus document.
class EDavXml final : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// Throws EDavXml with the reader's reason when the bytes are not XML or not a multistatus.
QList<DavResponse> parseMultistatus(const QByteArray &xml);
