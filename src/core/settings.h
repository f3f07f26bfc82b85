#pragma once

#include <QDate>
#include <QSet>
#include <QString>

// setting.ini in the form of the platform's private-profile files: "[Section]" lines and "Key=Value"
// lines, names matched without regard to letter case, CR LF line ends, code page 932 (a file that starts
// with a UTF-8 or UTF-16 mark, or is UTF-8 without one, is read in that encoding and written back in it).
// Nothing is cached: every read goes to the file and every write rewrites it at once.
class IniFile final
{
public:
    explicit IniFile(QString path);

    // The text after the first "=" with blanks at both ends and one pair of enclosing quotes (" or ')
    // removed, at most 2047 characters. A missing file, section or key gives the default; a key with
    // nothing after "=" gives the empty text.
    QString readString(const QString &section, const QString &key, const QString &defaultValue) const;

    // Decimal with an optional sign, or hexadecimal after "$", "0x" or "0X" (up to 32 bits, so $FFFFFFFF
    // is -1). Anything else, an empty value and a number beyond 32 bits give the default.
    int readInteger(const QString &section, const QString &key, int defaultValue) const;

    // Read as an integer: nonzero is true; text that is not an integer gives the default.
    bool readBool(const QString &section, const QString &key, bool defaultValue) const;

    // Replaces the key's value in its line, or adds the key at the end of its section, or the section at
    // the end of the file; every other line stays as it was, byte for byte. A new file is readable by
    // its owner only (it holds passwords); storing a password ("Mail Setting" or "CalDAV" / "Pass") takes
    // group and other access away from an existing one. Throws EIniFileError
    // "<full path> に書き込めません。<system reason>" when refused, and
    // "<full path> に書き込めません。「<key>」の値に改行は使えません。" for a CR or LF in the section, key or
    // value, without touching the file.
    void writeString(const QString &section, const QString &key, const QString &value);
    void writeInteger(const QString &section, const QString &key, int value);
    void writeBool(const QString &section, const QString &key, bool value);
    // Removes the key's line, leaving every other line as it was; nothing happens when there is none.
    // Throws as writeString does.
    void removeKey(const QString &section, const QString &key);

    const QString &path() const { return m_path; }

private:
    QString m_path;
};

// The keys that hold a password (the mail's and the calendar server's "Pass"): nobody but the user may
// read them, so storing one takes group and other access away, and no export carries them.
bool isPasswordKey(const QString &section, const QString &key);

// Parses an integer value of the settings file; false when it is not one (see IniFile::readInteger).
bool parseIniInteger(const QString &text, int &value);

// "Excluded Cycles" / Days: the first days of the cycles she left out of the statistics, as yyyy/mm/dd
// separated by commas. A missing key leaves nothing out; a piece that is not a date is passed over.
QSet<QDate> readExcludedCycles(const QString &settingPath);
// Writes the key sorted (removes it when empty), as IniFile::writeString does. A value beyond the
// 2047 characters a read returns (186 days) throws EIniFileError without touching the file.
void writeExcludedCycles(const QString &settingPath, const QSet<QDate> &days);
