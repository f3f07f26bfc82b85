#pragma once

#include <QByteArray>
#include <QString>

#include <exception>

// Every failure the user may see travels as an AppError carrying the exact text of the message box.
// The windows catch it in one guard per handler; libraries never show anything themselves.
class AppError : public std::exception
{
public:
    explicit AppError(QString message);

    const QString &message() const noexcept { return m_message; }
    const char *what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};

// Text that is not an integer or not a date ("''%s'' は整数ではありません", "''%s'' は日付ではありません").
class EConvertError final : public AppError
{
public:
    using AppError::AppError;
};

// A list position that does not exist ("リストのインデックスが範囲を超えています (%d)").
class EListError final : public AppError
{
public:
    using AppError::AppError;
    static EListError indexOutOfRange(qsizetype index);
};

// A data file that cannot be opened, read, created or written.
class EFileError final : public AppError
{
public:
    using AppError::AppError;
};

// The settings file refused a write ("%s に書き込めません").
class EIniFileError final : public AppError
{
public:
    using AppError::AppError;
};

// A value as an error message quotes it: whole when it has at most 100 characters, otherwise its first
// 100 followed by "…", so a 10 MB line in a file cannot fill the screen (a character is a code point:
// a surrogate pair is never cut apart).
QString quotedValue(const QString &text);

// The text an error box shows for a message: a "." is appended when the last character sorts after "."
// in UTF-16 code order (so Japanese sentences ending in "。" get one, texts ending in ")" do not).
QString errorBoxText(const QString &message);
