#pragma once

// Helpers for tests of the real program under a private X server (Xvfb): a copy of the program in a
// temporary folder, starting and stopping it, finding its windows, keys and clicks through xdotool,
// and screenshots through xwd. Every wait has a time limit and every process started here is ended
// when its owner goes away, also when a test fails half-way.

#include <QDate>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

namespace E2e {

class RunningProgram;

// One Xvfb server on a free display number (Xvfb picks it itself, so parallel tests never collide),
// plus a private runtime folder so the single-instance lock of one test cannot meet another's.
class XServer final
{
public:
    XServer() = default;
    ~XServer();
    XServer(const XServer &) = delete;
    XServer &operator=(const XServer &) = delete;

    // Starts the server; false with a reason in *error when it does not come up within 10 s.
    bool start(QString *error);
    QString display() const { return m_display; }
    QString runtimeFolder() const { return m_runtime.path(); }

    // The environment for a program on this server: DISPLAY, the runtime folder, the xcb platform.
    QProcessEnvironment environment() const;

    // Runs a helper tool (xdotool, xwd...) on this server; returns its standard output, or an empty
    // array with *ok false when it fails or takes longer than timeoutMs.
    QByteArray runTool(const QString &program, const QStringList &arguments, bool *ok = nullptr,
                       int timeoutMs = 10000) const;

    // The ids of the visible top-level windows whose title is exactly `title`.
    QStringList visibleWindows(const QString &title) const;
    // Waits until exactly one such window is shown; its id, or empty after timeoutMs. With `program`
    // the wait also ends, empty, as soon as that program has ended, and its output is kept for
    // RunningProgram::report().
    QString waitForWindow(const QString &title, int timeoutMs = 15000, RunningProgram *program = nullptr) const;
    // The window's position on the screen and the size of its client area.
    QRect windowGeometry(const QString &windowId) const;
    // The window that holds the keyboard focus, as an id comparable with visibleWindows().
    QString focusedWindow() const;

    // Gives the window the keyboard focus, then types the key ("Escape", "alt+h") through XTEST.
    bool pressKey(const QString &windowId, const QString &key) const;
    // A left click at pos, in the window's client coordinates.
    bool click(const QString &windowId, const QPoint &pos) const;
    // The window's current pixels (xwd), 24-bit colour; a null image on failure.
    QImage grabWindow(const QString &windowId) const;
    // Grabs the window until two grabs in a row agree (painting has finished), at most timeoutMs.
    QImage grabSettledWindow(const QString &windowId, int timeoutMs = 5000) const;
    // The whole screen as it is seen, windows stacked as they are; a null image on failure.
    QImage grabScreen() const;

private:
    std::unique_ptr<QProcess> m_server;
    QString m_display;
    QTemporaryDir m_runtime;
};

// A copy of the program and its help in a fresh temporary folder, where the test places the data files.
// The copy may carry another name; its help is then named after it, as a user who renames the program
// together with its help would have it.
class ProgramFolder final
{
public:
    explicit ProgramFolder(const QString &programName = QStringLiteral("eveluna"));
    bool isValid() const { return m_valid; }
    QString path() const { return m_dir.path(); }
    QString executable() const;
    QString filePath(const QString &name) const;

    bool writeFile(const QString &name, const QByteArray &bytes) const;
    QByteArray readFile(const QString &name) const;
    bool exists(const QString &name) const;
    // Names of the files and folders in the folder, sorted.
    QStringList entries() const;

private:
    QTemporaryDir m_dir;
    QString m_name;
    bool m_valid = false;
};

// One run of a program on an XServer. The destructor ends a program that is still running.
class RunningProgram final
{
public:
    RunningProgram(const XServer &server, const QString &executable, const QString &workingDir,
                   const QProcessEnvironment &extra = QProcessEnvironment());
    ~RunningProgram();
    RunningProgram(const RunningProgram &) = delete;
    RunningProgram &operator=(const RunningProgram &) = delete;

    void setArguments(const QStringList &arguments) { m_process.setArguments(arguments); }
    bool start();
    bool isRunning() const;
    // True when the program ended by itself within timeoutMs.
    bool waitForExit(int timeoutMs = 10000);
    int exitCode() const { return m_process.exitCode(); }
    QProcess::ExitStatus exitStatus() const { return m_process.exitStatus(); }
    // Everything the program has written to the stream so far.
    QByteArray standardError();
    QByteArray standardOutput();
    // For failure messages: whether the program still runs or how it ended, and its standard error
    // (where a sanitizer or Qt says why a window never came).
    QString report();

private:
    QProcess m_process;
    QByteArray m_error;
    QByteArray m_output;
};

// The main window's title, by which the tests find it.
inline const QString MainTitle = QStringLiteral("Easy VELUNA");

// Client-area rectangle of day cell 1..37 of the main window: the calendar group lies at (8, 12), its
// day cells of 25 x 17 pixels start at (11, 50) inside it, seven to a row, Sunday first.
QRect dayCellRect(int cell);

// The cell that shows date when its month is displayed.
int cellOf(const QDate &date);

// The colour of a pixel as an RGB triple, for readable failure messages.
QString colourName(QRgb colour);

// How many pixels of rect (clipped to the image) have exactly the colour.
int countPixels(const QImage &image, const QRect &rect, QRgb colour);
// The colour that covers most of rect.
QRgb dominantColour(const QImage &image, const QRect &rect);

} // namespace E2e
