#include "e2eharness.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QThread>
#include <QtEndian>

#include <csignal>
#include <sys/prctl.h>

namespace E2e {

namespace {

// Children die with the test program, so a crashed or timed-out test leaves no server behind.
void dieWithParent(QProcess &process)
{
    process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
}

void endProcess(QProcess &process)
{
    if (process.state() == QProcess::NotRunning) {
        return;
    }
    process.terminate();
    if (!process.waitForFinished(3000)) {
        process.kill();
        process.waitForFinished(3000);
    }
}

// xdotool prints window ids in decimal; normalise so ids from different commands compare equal.
QString normaliseId(const QByteArray &text)
{
    bool ok = false;
    const qulonglong value = text.trimmed().toULongLong(&ok, 0);
    return ok ? QString::number(value) : QString();
}

// An xwd dump (header in big-endian 32-bit words, then the colour map, then the pixels) of a true- or
// direct-colour window with 24 or 32 bits per pixel, as the X server of these tests produces. A dump of
// the whole screen comes with 24 bits per pixel once windows of several visuals are shown.
QImage parseXwd(const QByteArray &data)
{
    enum Field {
        HeaderSize,
        FileVersion,
        PixmapFormat,
        PixmapDepth,
        PixmapWidth,
        PixmapHeight,
        XOffset,
        ByteOrder,
        BitmapUnit,
        BitmapBitOrder,
        BitmapPad,
        BitsPerPixel,
        BytesPerLine,
        VisualClass,
        RedMask,
        GreenMask,
        BlueMask,
        BitsPerRgb,
        ColormapEntries,
        NColors,
        FieldCount = 25
    };
    if (data.size() < FieldCount * 4) {
        return QImage();
    }
    auto field = [&data](int i) { return qFromBigEndian<quint32>(data.constData() + 4 * i); };
    const quint32 width = field(PixmapWidth);
    const quint32 height = field(PixmapHeight);
    const quint32 bpp = field(BitsPerPixel);
    const quint32 stride = field(BytesPerLine);
    const qint64 offset = qint64(field(HeaderSize)) + qint64(field(NColors)) * 12;
    const quint32 bytesPerPixel = bpp / 8;
    if (field(FileVersion) != 7 || field(PixmapFormat) != 2 || (bpp != 32 && bpp != 24) || width == 0 || height == 0 ||
        qint64(stride) < qint64(width) * bytesPerPixel || offset + qint64(stride) * height > data.size()) {
        return QImage();
    }
    const quint32 masks[3] = {field(RedMask), field(GreenMask), field(BlueMask)};
    auto channel = [](quint32 pixel, quint32 mask) {
        if (mask == 0) {
            return 0u;
        }
        return (pixel & mask) >> qCountTrailingZeroBits(mask);
    };
    const bool lsbFirst = field(ByteOrder) == 0;
    QImage image(int(width), int(height), QImage::Format_RGB32);
    for (quint32 y = 0; y < height; ++y) {
        const char *row = data.constData() + offset + qint64(stride) * y;
        for (quint32 x = 0; x < width; ++x) {
            const auto *bytes = reinterpret_cast<const uchar *>(row + bytesPerPixel * x);
            quint32 pixel = 0;
            for (quint32 i = 0; i < bytesPerPixel; ++i) {
                const quint32 shift = lsbFirst ? 8 * i : 8 * (bytesPerPixel - 1 - i);
                pixel |= quint32(bytes[i]) << shift;
            }
            image.setPixel(
                int(x), int(y),
                qRgb(int(channel(pixel, masks[0])), int(channel(pixel, masks[1])), int(channel(pixel, masks[2]))));
        }
    }
    return image;
}

} // namespace

XServer::~XServer()
{
    if (m_server) {
        endProcess(*m_server);
    }
}

bool XServer::start(QString *error)
{
    if (!m_runtime.isValid()) {
        *error = QStringLiteral("no temporary folder for the runtime files");
        return false;
    }
    m_server = std::make_unique<QProcess>();
    dieWithParent(*m_server);
    m_server->setProcessChannelMode(QProcess::SeparateChannels);
    // -displayfd 1: the server chooses a free display number and writes it to standard output once it
    // accepts connections. -noreset: a helper process that connects and leaves before the program does
    // (an accessibility bus launcher, say) must not reset the server under the program's first window.
    m_server->start(QStringLiteral("Xvfb"),
                    {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"), QStringLiteral("0"),
                     QStringLiteral("1024x768x24"), QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                     QStringLiteral("-noreset")});
    if (!m_server->waitForStarted(5000)) {
        *error = QStringLiteral("Xvfb did not start: ") + m_server->errorString();
        return false;
    }
    const QDeadlineTimer deadline(10000);
    while (!m_server->canReadLine()) {
        if (deadline.hasExpired() || !m_server->waitForReadyRead(int(deadline.remainingTime()))) {
            *error = QStringLiteral("Xvfb gave no display number: ") +
                     QString::fromLocal8Bit(m_server->readAllStandardError());
            return false;
        }
    }
    const QByteArray number = m_server->readLine().trimmed();
    m_display = QLatin1Char(':') + QString::fromLatin1(number);
    return !number.isEmpty();
}

QProcessEnvironment XServer::environment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_display);
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("XAUTHORITY"));
    // No session bus unless a test starts one: the program must not reach the desktop's keyring, nor
    // autolaunch a bus that outlives the test.
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
               QStringLiteral("unix:path=") + m_runtime.path() + QStringLiteral("/no-bus"));
    return env;
}

QByteArray XServer::runTool(const QString &program, const QStringList &arguments, bool *ok, int timeoutMs) const
{
    QProcess tool;
    dieWithParent(tool);
    tool.setProcessEnvironment(environment());
    tool.start(program, arguments);
    const bool finished = tool.waitForStarted(timeoutMs) && tool.waitForFinished(timeoutMs);
    if (!finished) {
        endProcess(tool);
    }
    const bool success = finished && tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0;
    if (ok != nullptr) {
        *ok = success;
    }
    return success ? tool.readAllStandardOutput() : QByteArray();
}

QStringList XServer::visibleWindows(const QString &title) const
{
    // xdotool matches a regular expression; anchor it and escape the title so only the exact title counts.
    const QString pattern = QLatin1Char('^') + QRegularExpression::escape(title) + QLatin1Char('$');
    const QByteArray out =
        runTool(QStringLiteral("xdotool"),
                {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"), pattern});
    QStringList ids;
    for (const QByteArray &line : out.split('\n')) {
        const QString id = normaliseId(line);
        if (!id.isEmpty()) {
            ids << id;
        }
    }
    return ids;
}

QString XServer::waitForWindow(const QString &title, int timeoutMs, RunningProgram *program) const
{
    const QDeadlineTimer deadline(timeoutMs);
    do {
        const QStringList ids = visibleWindows(title);
        if (ids.size() == 1) {
            return ids.first();
        }
        // Waiting on the program instead of sleeping notices at once when it ends before its window
        // shows (a sanitizer report, a missing library) and collects what it wrote meanwhile.
        if (program == nullptr) {
            QThread::msleep(100);
        } else if (program->waitForExit(100)) {
            return QString();
        }
    } while (!deadline.hasExpired());
    return QString();
}

QRect XServer::windowGeometry(const QString &windowId) const
{
    bool ok = false;
    const QByteArray out = runTool(QStringLiteral("xdotool"),
                                   {QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), windowId}, &ok);
    QHash<QByteArray, int> values;
    for (const QByteArray &line : out.split('\n')) {
        const qsizetype eq = line.indexOf('=');
        if (eq > 0) {
            values.insert(line.left(eq), line.mid(eq + 1).toInt());
        }
    }
    if (!ok || !values.contains("WIDTH")) {
        return QRect();
    }
    return QRect(values.value("X"), values.value("Y"), values.value("WIDTH"), values.value("HEIGHT"));
}

QString XServer::focusedWindow() const
{
    return normaliseId(runTool(QStringLiteral("xdotool"), {QStringLiteral("getwindowfocus"), QStringLiteral("-f")}));
}

bool XServer::pressKey(const QString &windowId, const QString &key) const
{
    bool ok = false;
    runTool(QStringLiteral("xdotool"), {QStringLiteral("windowfocus"), QStringLiteral("--sync"), windowId}, &ok);
    if (!ok) {
        return false;
    }
    runTool(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("--clearmodifiers"), key}, &ok);
    return ok;
}

bool XServer::click(const QString &windowId, const QPoint &pos) const
{
    bool ok = false;
    runTool(QStringLiteral("xdotool"),
            {QStringLiteral("mousemove"), QStringLiteral("--window"), windowId, QString::number(pos.x()),
             QString::number(pos.y()), QStringLiteral("click"), QStringLiteral("1")},
            &ok);
    return ok;
}

QImage XServer::grabWindow(const QString &windowId) const
{
    bool ok = false;
    const QByteArray dump =
        runTool(QStringLiteral("xwd"), {QStringLiteral("-id"), windowId, QStringLiteral("-silent")}, &ok);
    return ok ? parseXwd(dump) : QImage();
}

QImage XServer::grabSettledWindow(const QString &windowId, int timeoutMs) const
{
    const QDeadlineTimer deadline(timeoutMs);
    QImage previous = grabWindow(windowId);
    while (!deadline.hasExpired()) {
        QThread::msleep(150);
        QImage current = grabWindow(windowId);
        if (!current.isNull() && current == previous) {
            return current;
        }
        previous = std::move(current);
    }
    return previous;
}

QImage XServer::grabScreen() const
{
    bool ok = false;
    const QByteArray dump = runTool(QStringLiteral("xwd"), {QStringLiteral("-root"), QStringLiteral("-silent")}, &ok);
    return ok ? parseXwd(dump) : QImage();
}

ProgramFolder::ProgramFolder(const QString &programName)
    : m_name(programName)
{
    if (!m_dir.isValid()) {
        return;
    }
    const QDir bin(QStringLiteral(EVELUNA_BIN_DIR));
    const QDir target(m_dir.path());
    const QString helpFolder = m_name + QStringLiteral("-help");
    m_valid =
        QFile::copy(bin.filePath(QStringLiteral("eveluna")), target.filePath(m_name)) &&
        QFile::copy(bin.filePath(QStringLiteral("eveluna.chm")), target.filePath(m_name + QStringLiteral(".chm"))) &&
        target.mkdir(helpFolder);
    const QDir help(bin.filePath(QStringLiteral("eveluna-help")));
    for (const QString &name : help.entryList(QDir::Files)) {
        m_valid = m_valid && QFile::copy(help.filePath(name), target.filePath(helpFolder + QLatin1Char('/') + name));
    }
}

QString ProgramFolder::executable() const
{
    return filePath(m_name);
}

QString ProgramFolder::filePath(const QString &name) const
{
    return QDir(m_dir.path()).filePath(name);
}

bool ProgramFolder::writeFile(const QString &name, const QByteArray &bytes) const
{
    QFile file(filePath(name));
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QByteArray ProgramFolder::readFile(const QString &name) const
{
    QFile file(filePath(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool ProgramFolder::exists(const QString &name) const
{
    return QFile::exists(filePath(name));
}

QStringList ProgramFolder::entries() const
{
    return QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
}

RunningProgram::RunningProgram(const XServer &server, const QString &executable, const QString &workingDir,
                               const QProcessEnvironment &extra)
{
    QProcessEnvironment env = server.environment();
    for (const QString &key : extra.keys()) {
        env.insert(key, extra.value(key));
    }
    dieWithParent(m_process);
    m_process.setProcessEnvironment(env);
    m_process.setProgram(executable);
    m_process.setWorkingDirectory(workingDir);
    m_process.setStandardInputFile(QProcess::nullDevice());
}

RunningProgram::~RunningProgram()
{
    endProcess(m_process);
}

bool RunningProgram::start()
{
    m_process.start();
    return m_process.waitForStarted(5000);
}

bool RunningProgram::isRunning() const
{
    return m_process.state() != QProcess::NotRunning;
}

bool RunningProgram::waitForExit(int timeoutMs)
{
    return m_process.state() == QProcess::NotRunning || m_process.waitForFinished(timeoutMs);
}

QByteArray RunningProgram::standardError()
{
    m_error += m_process.readAllStandardError();
    return m_error;
}

QByteArray RunningProgram::standardOutput()
{
    m_output += m_process.readAllStandardOutput();
    return m_output;
}

QString RunningProgram::report()
{
    // A zero wait reads what the pipes hold and notices an end that no event has reported yet.
    waitForExit(0);
    QString state;
    if (m_process.error() == QProcess::FailedToStart) {
        state = QStringLiteral("did not start: ") + m_process.errorString();
    } else if (isRunning()) {
        state = QStringLiteral("still running");
    } else if (exitStatus() == QProcess::CrashExit) {
        state = QStringLiteral("crashed");
    } else {
        state = QStringLiteral("ended with status %1").arg(exitCode());
    }
    const QByteArray error = standardError();
    return error.isEmpty() ? state : state + QStringLiteral("; standard error:\n") + QString::fromLocal8Bit(error);
}

QString colourName(QRgb colour)
{
    return QStringLiteral("(%1, %2, %3)").arg(qRed(colour)).arg(qGreen(colour)).arg(qBlue(colour));
}

int countPixels(const QImage &image, const QRect &rect, QRgb colour)
{
    const QRect area = rect & image.rect();
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            count += (image.pixel(x, y) & 0xffffff) == (colour & 0xffffff) ? 1 : 0;
        }
    }
    return count;
}

QRgb dominantColour(const QImage &image, const QRect &rect)
{
    QHash<QRgb, int> counts;
    const QRect area = rect & image.rect();
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            ++counts[image.pixel(x, y) & 0xffffff];
        }
    }
    QRgb best = 0;
    int bestCount = -1;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        if (it.value() > bestCount) {
            best = it.key();
            bestCount = it.value();
        }
    }
    return best;
}

QRect dayCellRect(int cell)
{
    const int row = (cell - 1) / 7;
    const int column = (cell - 1) % 7;
    return QRect(8 + 11 + 25 * column, 12 + 50 + 17 * row, 25, 17);
}

int cellOf(const QDate &date)
{
    return date.day() + date.addDays(1 - date.day()).dayOfWeek() % 7;
}

} // namespace E2e
