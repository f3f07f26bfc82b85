#include "daylinefile.h"

#include "errors.h"
#include "textfile.h"

#include <QStringDecoder>

namespace {

const QByteArray utf8Mark("\xEF\xBB\xBF");

} // namespace

QByteArrayView dayLinesBody(const QByteArray &bytes)
{
    QByteArrayView body(bytes);
    if (body.startsWith(utf8Mark)) {
        body = body.sliced(utf8Mark.size());
    }
    return body;
}

bool isBlankDayLine(QByteArrayView line)
{
    return std::all_of(line.begin(), line.end(), [](char c) { return c == ' ' || c == '\t'; });
}

QStringList decodeKeptDayLines(const QList<QByteArray> &lines)
{
    QStringList decoded;
    for (const QByteArray &line : lines) {
        QStringDecoder decoder(QStringConverter::Utf8,
                               QStringConverter::Flag::ConvertInitialBom | QStringConverter::Flag::Stateless);
        decoded.append(decoder(line));
    }
    return decoded;
}

QList<QByteArray> encodeKeptDayLines(const QStringList &lines)
{
    QList<QByteArray> encoded;
    for (const QString &line : lines) {
        encoded.append(line.toUtf8());
    }
    return encoded;
}

void writeDayLines(const QString &path, const QByteArray &bytes)
{
    QString errorText;
    // What she records of her body is hers alone: the file is readable by its owner only.
    if (!writeFileAtomically(path, bytes, QFileDevice::ReadOwner | QFileDevice::WriteOwner, errorText)) {
        throw EFileError(QStringLiteral("ファイル \"%1\" を作成できません。%2").arg(path, errorText));
    }
}
