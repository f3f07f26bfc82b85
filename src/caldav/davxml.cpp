#include "davxml.h"

#include <QXmlStreamReader>

namespace {

const QString DavNs = QStringLiteral("DAV:");
const QString CalDavNs = QStringLiteral("urn:ietf:params:xml:ns:caldav");

bool isElement(const QXmlStreamReader &xml, const QString &ns, QStringView name)
{
    return xml.namespaceUri() == ns && xml.name() == name;
}

// The text of the first DAV:href inside the element the reader is on; leaves the reader at its end.
QString innerHref(QXmlStreamReader &xml)
{
    QString href;
    while (xml.readNextStartElement()) {
        if (href.isEmpty() && isElement(xml, DavNs, u"href")) {
            href = xml.readElementText(QXmlStreamReader::SkipChildElements).trimmed();
        } else {
            xml.skipCurrentElement();
        }
    }
    return href;
}

void readProp(QXmlStreamReader &xml, DavResponse &props)
{
    while (xml.readNextStartElement()) {
        if (isElement(xml, DavNs, u"getetag")) {
            props.etag = xml.readElementText(QXmlStreamReader::SkipChildElements).trimmed();
        } else if (isElement(xml, DavNs, u"displayname")) {
            props.displayName = xml.readElementText(QXmlStreamReader::SkipChildElements).trimmed();
        } else if (isElement(xml, DavNs, u"resourcetype")) {
            while (xml.readNextStartElement()) {
                props.resourceTypes.insert(xml.name().toString());
                xml.skipCurrentElement();
            }
        } else if (isElement(xml, DavNs, u"current-user-principal")) {
            props.principal = innerHref(xml);
        } else if (isElement(xml, CalDavNs, u"calendar-home-set")) {
            props.calendarHome = innerHref(xml);
        } else if (isElement(xml, CalDavNs, u"supported-calendar-component-set")) {
            props.hasComponentSet = true;
            while (xml.readNextStartElement()) {
                props.components.append(xml.attributes().value(QStringLiteral("name")).toString().toUpper());
                xml.skipCurrentElement();
            }
        } else if (isElement(xml, CalDavNs, u"calendar-data")) {
            props.calendarData = xml.readElementText(QXmlStreamReader::SkipChildElements).toUtf8();
        } else {
            xml.skipCurrentElement();
        }
    }
}

// "HTTP/1.1 200 OK": whether the code is 2xx.
bool successStatus(const QString &statusLine)
{
    const QStringList parts = statusLine.simplified().split(u' ');
    return parts.size() >= 2 && parts[1].size() == 3 && parts[1].startsWith(u'2');
}

DavResponse readResponse(QXmlStreamReader &xml)
{
    DavResponse response;
    while (xml.readNextStartElement()) {
        if (isElement(xml, DavNs, u"href")) {
            response.href = xml.readElementText(QXmlStreamReader::SkipChildElements).trimmed();
        } else if (isElement(xml, DavNs, u"propstat")) {
            DavResponse props;
            bool ok = false;
            while (xml.readNextStartElement()) {
                if (isElement(xml, DavNs, u"prop")) {
                    readProp(xml, props);
                } else if (isElement(xml, DavNs, u"status")) {
                    ok = successStatus(xml.readElementText(QXmlStreamReader::SkipChildElements));
                } else {
                    xml.skipCurrentElement();
                }
            }
            if (ok) {
                props.href = response.href;
                response = props;
            }
        } else {
            xml.skipCurrentElement();
        }
    }
    return response;
}

} // namespace

QList<DavResponse> parseMultistatus(const QByteArray &bytes)
{
    QXmlStreamReader xml(bytes);
    QList<DavResponse> responses;
    if (!xml.readNextStartElement() || !isElement(xml, DavNs, u"multistatus")) {
        throw EDavXml(xml.hasError() ? xml.errorString().toStdString() : std::string("no multistatus"));
    }
    while (xml.readNextStartElement()) {
        if (isElement(xml, DavNs, u"response")) {
            responses.append(readResponse(xml));
        } else {
            xml.skipCurrentElement();
        }
    }
    // The rest must be well-formed too: a reply cut short is not a list of everything.
    while (!xml.atEnd()) {
        xml.readNext();
    }
    if (xml.hasError()) {
        throw EDavXml(xml.errorString().toStdString());
    }
    return responses;
}
