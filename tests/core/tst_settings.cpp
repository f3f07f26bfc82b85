#include "codepage.h"
#include "errors.h"
#include "settings.h"

#include "../support/files.h"
#include "../support/unprivileged.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <cstring>

#include <sys/stat.h>

namespace {

mode_t modeOf(const QString &path)
{
    struct stat st
    {
    };
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? (st.st_mode & 07777) : mode_t(07777);
}

const QByteArray noFile("<no file>");

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void readString_data();
    void readString();
    void readInteger_data();
    void readInteger();
    void readBool_data();
    void readBool();

    void write_data();
    void write();
    void write_newFile_isPrivateToOwner();
    void write_existingFile_keepsPermissionBits();
    void write_thenRead_givesValueBack();
    void write_readOnlyFolder_throwsWithFullPathAndKeepsFile();
    void write_valueWithLineBreak_isRefusedAndKeepsFile();
    void write_unreadableFile_isRefusedNotEmptied();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;
};

void TestSettings::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_path = m_dir->filePath(u"setting.ini"_qs);
}

void TestSettings::readString_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected"); // the default is always "28"
    const QString day = u"Day Setting"_qs;
    const QByteArray plain("[Day Setting]\r\nDaymode=4\r\nDaybetween=30\r\n");
    QTest::newRow("missing file") << noFile << day << u"Daybetween"_qs << u"28"_qs;
    QTest::newRow("empty file") << QByteArray() << day << u"Daybetween"_qs << u"28"_qs;
    QTest::newRow("found") << plain << day << u"Daybetween"_qs << u"30"_qs;
    QTest::newRow("missing section") << plain << u"Mail Setting"_qs << u"Daybetween"_qs << u"28"_qs;
    QTest::newRow("missing key") << plain << day << u"SMTP"_qs << u"28"_qs;
    QTest::newRow("empty value is not the default")
        << QByteArray("[Day Setting]\r\nDaybetween=\r\n") << day << u"Daybetween"_qs << QString();
    QTest::newRow("key in lower case") << plain << day << u"daybetween"_qs << u"30"_qs;
    QTest::newRow("key in capitals") << plain << day << u"DAYBETWEEN"_qs << u"30"_qs;
    QTest::newRow("section in other case") << plain << u"day setting"_qs << u"Daybetween"_qs << u"30"_qs;
    QTest::newRow("file written in other case")
        << QByteArray("[DAY SETTING]\r\ndaybetween=31\r\n") << day << u"Daybetween"_qs << u"31"_qs;
    QTest::newRow("blanks around key, value and section")
        << QByteArray("  [ Day Setting ]  \r\n\t Daybetween \t=  2 9 \t\r\n") << day << u"Daybetween"_qs << u"2 9"_qs;
    QTest::newRow("double quotes removed")
        << QByteArray("[Day Setting]\r\nDaybetween=\" a \"\r\n") << day << u"Daybetween"_qs << u" a "_qs;
    QTest::newRow("single quotes removed")
        << QByteArray("[Day Setting]\r\nDaybetween='x'\r\n") << day << u"Daybetween"_qs << u"x"_qs;
    QTest::newRow("only one pair removed")
        << QByteArray("[Day Setting]\r\nDaybetween=\"\"x\"\"\r\n") << day << u"Daybetween"_qs << u"\"x\""_qs;
    QTest::newRow("mismatched quotes kept")
        << QByteArray("[Day Setting]\r\nDaybetween=\"x'\r\n") << day << u"Daybetween"_qs << u"\"x'"_qs;
    QTest::newRow("lone quote kept") << QByteArray("[Day Setting]\r\nDaybetween=\"\r\n") << day << u"Daybetween"_qs
                                     << u"\""_qs;
    QTest::newRow("empty quotes give empty text")
        << QByteArray("[Day Setting]\r\nDaybetween=\"\"\r\n") << day << u"Daybetween"_qs << QString();
    QTest::newRow("text after the first =")
        << QByteArray("[Day Setting]\r\nDaybetween=a=b\r\n") << day << u"Daybetween"_qs << u"a=b"_qs;
    QTest::newRow("key of another section not taken")
        << QByteArray("[Mail Setting]\r\nDaybetween=1\r\n[Day Setting]\r\nDaymode=2\r\n") << day << u"Daybetween"_qs
        << u"28"_qs;
    QTest::newRow("first of two keys") << QByteArray("[Day Setting]\r\nDaybetween=1\r\nDaybetween=2\r\n") << day
                                       << u"Daybetween"_qs << u"1"_qs;
    QTest::newRow("comment line is no key")
        << QByteArray("[Day Setting]\r\n;Daybetween=1\r\n") << day << u";Daybetween"_qs << u"28"_qs;
    QTest::newRow("LF and CR line ends") << QByteArray("[Day Setting]\nDaymode=4\rDaybetween=27") << day
                                         << u"Daybetween"_qs << u"27"_qs;
    QTest::newRow("code page 932 value") << QByteArray("[Mail Setting]\r\nSMTP=\x83\x81\x81\x5B\x83\x8B\r\n")
                                         << u"Mail Setting"_qs << u"SMTP"_qs << u"メール"_qs;
    QTest::newRow("UTF-8 file with mark") << QByteArray("\xEF\xBB\xBF[Mail Setting]\r\nSMTP=\xE3\x83\xA1\r\n")
                                          << u"Mail Setting"_qs << u"SMTP"_qs << u"メ"_qs;
    QTest::newRow("value cut at 2047 characters")
        << QByteArray("[Day Setting]\r\nDaybetween=") + QByteArray(2046, 'a') + "bcd\r\n"
        << day << u"Daybetween"_qs << QString(2046, u'a') + u"b"_qs;
}

void TestSettings::readString()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, expected);
    if (file != noFile) {
        writeBytes(m_path, file);
    }
    const QString value = IniFile(m_path).readString(section, key, u"28"_qs);
    QCOMPARE(value, expected);
    QCOMPARE(value.isNull(), false);
    QCOMPARE(QFile::exists(m_path), file != noFile);
}

void TestSettings::readInteger_data()
{
    QTest::addColumn<QByteArray>("value"); // the line "Daymode=<value>"; noFile leaves the key out
    QTest::addColumn<int>("expected");     // the default is always 4
    QTest::newRow("decimal") << QByteArray("3") << 3;
    QTest::newRow("0x hex") << QByteArray("0x3") << 3;
    QTest::newRow("0X hex") << QByteArray("0X1f") << 31;
    QTest::newRow("$ hex") << QByteArray("$3") << 3;
    QTest::newRow("$ hex letters") << QByteArray("$fF") << 255;
    QTest::newRow("negative") << QByteArray("-1") << -1;
    QTest::newRow("plus sign") << QByteArray("+2") << 2;
    QTest::newRow("blanks trimmed") << QByteArray("  1 ") << 1;
    QTest::newRow("quoted") << QByteArray("\"2\"") << 2;
    QTest::newRow("largest") << QByteArray("2147483647") << 2147483647;
    QTest::newRow("smallest") << QByteArray("-2147483648") << int(-2147483647 - 1);
    QTest::newRow("32-bit hex pattern") << QByteArray("$FFFFFFFF") << -1;
    QTest::newRow("missing key") << noFile << 4;
    QTest::newRow("empty") << QByteArray() << 4;
    QTest::newRow("words") << QByteArray("abc") << 4;
    QTest::newRow("trailing text") << QByteArray("3abc") << 4;
    QTest::newRow("decimal point") << QByteArray("1.0") << 4;
    QTest::newRow("beyond 32 bits") << QByteArray("2147483648") << 4;
    QTest::newRow("below 32 bits") << QByteArray("-2147483649") << 4;
    QTest::newRow("hex beyond 32 bits") << QByteArray("$100000000") << 4;
    QTest::newRow("prefix without digits") << QByteArray("0x") << 4;
    QTest::newRow("dollar without digits") << QByteArray("$") << 4;
    QTest::newRow("sign only") << QByteArray("-") << 4;
    QTest::newRow("signed hex") << QByteArray("-$3") << 4;
    QTest::newRow("bad hex digit") << QByteArray("$3g") << 4;
    QTest::newRow("inner blank") << QByteArray("1 2") << 4;
}

void TestSettings::readInteger()
{
    QFETCH(QByteArray, value);
    QFETCH(int, expected);
    writeBytes(m_path, "[Day Setting]\r\n" + (value == noFile ? QByteArray() : "Daymode=" + value + "\r\n"));
    QCOMPARE(IniFile(m_path).readInteger(u"Day Setting"_qs, u"Daymode"_qs, 4), expected);
}

void TestSettings::readBool_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<bool>("defaultValue");
    QTest::addColumn<bool>("expected");
    QTest::newRow("1") << QByteArray("1") << false << true;
    QTest::newRow("0 against default true") << QByteArray("0") << true << false;
    QTest::newRow("2 is true") << QByteArray("2") << false << true;
    QTest::newRow("-1 is true") << QByteArray("-1") << false << true;
    QTest::newRow("hex zero is false") << QByteArray("0x0") << true << false;
    QTest::newRow("yes gives default false") << QByteArray("yes") << false << false;
    QTest::newRow("yes gives default true") << QByteArray("yes") << true << true;
    QTest::newRow("true gives the default") << QByteArray("true") << false << false;
    QTest::newRow("empty gives the default") << QByteArray() << true << true;
    QTest::newRow("missing gives default") << noFile << true << true;
}

void TestSettings::readBool()
{
    QFETCH(QByteArray, value);
    QFETCH(bool, defaultValue);
    QFETCH(bool, expected);
    writeBytes(m_path, "[Mail Setting]\r\n" + (value == noFile ? QByteArray() : "ChkSMTP=" + value + "\r\n"));
    QCOMPARE(IniFile(m_path).readBool(u"Mail Setting"_qs, u"ChkSMTP"_qs, defaultValue), expected);
}

void TestSettings::write_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("after");
    const QByteArray both("[Day Setting]\r\n"
                          "; chosen by hand\r\n"
                          "daymode = 2\r\n"
                          "Daybetween=28\r\n"
                          "\r\n"
                          "[Mail Setting]\r\n"
                          "SMTP=mail.example.jp\r\n");
    QTest::newRow("new file") << noFile << u"Day Setting"_qs << u"Daymode"_qs << u"4"_qs
                              << QByteArray("[Day Setting]\r\nDaymode=4\r\n");
    QTest::newRow("value replaced in place, other lines kept") << both << u"Day Setting"_qs << u"Daymode"_qs << u"4"_qs
                                                               << QByteArray(both).replace("daymode = 2", "daymode=4");
    QTest::newRow("new key at end of its section, before the blank line")
        << both << u"DAY SETTING"_qs << u"Extra"_qs << u"x"_qs
        << QByteArray(both).replace("Daybetween=28\r\n", "Daybetween=28\r\nExtra=x\r\n");
    QTest::newRow("new key in the last section")
        << both << u"Mail Setting"_qs << u"Port"_qs << u"587"_qs << both + "Port=587\r\n";
    QTest::newRow("new section at end of file")
        << QByteArray("[Day Setting]\r\nDaymode=4\r\n") << u"Mail Setting"_qs << u"To"_qs << u"a@example.jp"_qs
        << QByteArray("[Day Setting]\r\nDaymode=4\r\n[Mail Setting]\r\n"
                      "To=a@example.jp\r\n");
    QTest::newRow("missing last line end and LF ends get CR LF")
        << QByteArray("[Day Setting]\nDaymode=1") << u"Day Setting"_qs << u"Daymode"_qs << u"0"_qs
        << QByteArray("[Day Setting]\r\nDaymode=0\r\n");
    QTest::newRow("empty value written") << QByteArray("[Day Setting]\r\nDaybetween=28\r\n") << u"Day Setting"_qs
                                         << u"Daybetween"_qs << QString()
                                         << QByteArray("[Day Setting]\r\nDaybetween=\r\n");
    QTest::newRow("Japanese value in code page 932")
        << noFile << u"Mail Setting"_qs << u"SMTP"_qs << u"メール"_qs
        << QByteArray("[Mail Setting]\r\nSMTP=\x83\x81\x81\x5B\x83\x8B\r\n");
    QTest::newRow("UTF-8 file keeps its mark")
        << QByteArray("\xEF\xBB\xBF[Mail Setting]\r\nSMTP=a\r\n") << u"Mail Setting"_qs << u"SMTP"_qs << u"メ"_qs
        << QByteArray("\xEF\xBB\xBF[Mail Setting]\r\nSMTP=\xE3\x83\xA1\r\n");
    QTest::newRow("first of two same sections")
        << QByteArray("[A]\r\nk=1\r\n[B]\r\n[a]\r\nk=2\r\n") << u"A"_qs << u"K"_qs << u"3"_qs
        << QByteArray("[A]\r\nk=3\r\n[B]\r\n[a]\r\nk=2\r\n");
}

void TestSettings::write()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QByteArray, after);
    if (before != noFile) {
        writeBytes(m_path, before);
    }
    IniFile(m_path).writeString(section, key, value);
    QCOMPARE(readBytes(m_path), after);
}

void TestSettings::write_newFile_isPrivateToOwner()
{
    const mode_t oldMask = ::umask(022);
    IniFile ini(m_path);
    ini.writeInteger(u"Day Setting"_qs, u"Daymode"_qs, 4);
    ::umask(oldMask);
    QCOMPARE(modeOf(m_path), mode_t(0600));
}

void TestSettings::write_existingFile_keepsPermissionBits()
{
    writeBytes(m_path, "[Day Setting]\r\nDaymode=4\r\n");
    QVERIFY(::chmod(QFile::encodeName(m_path).constData(), 0640) == 0);
    IniFile(m_path).writeBool(u"Mail Setting"_qs, u"ChkSMTP"_qs, true);
    QCOMPARE(modeOf(m_path), mode_t(0640));
}

void TestSettings::write_thenRead_givesValueBack()
{
    IniFile ini(m_path);
    ini.writeInteger(u"Day Setting"_qs, u"Daymode"_qs, -1);
    ini.writeString(u"Day Setting"_qs, u"Daybetween"_qs, u"30"_qs);
    ini.writeBool(u"Mail Setting"_qs, u"ChkSMTP"_qs, true);
    ini.writeBool(u"Mail Setting"_qs, u"Other"_qs, false);
    ini.writeString(u"Mail Setting"_qs, u"Pass"_qs, u"YUdWc2JHOD0="_qs);
    QCOMPARE(readBytes(m_path), QByteArray("[Day Setting]\r\nDaymode=-1\r\nDaybetween=30\r\n"
                                           "[Mail Setting]\r\nChkSMTP=1\r\nOther=0\r\nPass=YUdWc2JHOD0=\r\n"));
    QCOMPARE(ini.readInteger(u"Day Setting"_qs, u"Daymode"_qs, 4), -1);
    QCOMPARE(ini.readString(u"Day Setting"_qs, u"Daybetween"_qs, u"28"_qs), u"30"_qs);
    QCOMPARE(ini.readBool(u"Mail Setting"_qs, u"ChkSMTP"_qs, false), true);
    QCOMPARE(ini.readBool(u"Mail Setting"_qs, u"Other"_qs, true), false);
    QCOMPARE(ini.readString(u"Mail Setting"_qs, u"Pass"_qs, QString()), u"YUdWc2JHOD0="_qs);
}

void TestSettings::write_readOnlyFolder_throwsWithFullPathAndKeepsFile()
{
    const QByteArray before("[Day Setting]\r\nDaymode=4\r\n");
    writeBytes(m_path, before);
    const QString savedCurrent = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_dir->path()));
    {
        const Unprivileged user(m_dir->path());
        if (!user.ok()) {
            QDir::setCurrent(savedCurrent);
            QSKIP("cannot give up root rights here");
        }
        QVERIFY(::chmod(QFile::encodeName(m_dir->path()).constData(), 0555) == 0);
        try {
            IniFile(u"setting.ini"_qs).writeString(u"Day Setting"_qs, u"Daybetween"_qs, u"30"_qs);
            QFAIL("no error");
        } catch (const EIniFileError &e) {
            QCOMPARE(e.message(), QDir(m_dir->path()).canonicalPath() + u"/setting.ini に書き込めません。"_qs +
                                      QString::fromLocal8Bit(std::strerror(EACCES)));
        }
        QVERIFY(::chmod(QFile::encodeName(m_dir->path()).constData(), 0755) == 0);
    }
    QDir::setCurrent(savedCurrent);
    QCOMPARE(readBytes(m_path), before);
}

// A cycle length pasted with its line end would add a section with another server.
void TestSettings::write_valueWithLineBreak_isRefusedAndKeepsFile()
{
    writeBytes(m_path, "[Day Setting]\r\nDaybetween=28\r\n");
    QVERIFY_THROWS_EXCEPTION(EIniFileError, IniFile(m_path).writeString(u"Day Setting"_qs, u"Daybetween"_qs,
                                                                        u"30\r\n[Mail Setting]\r\nSMTP=evil"_qs));
    QCOMPARE(readBytes(m_path), QByteArray("[Day Setting]\r\nDaybetween=28\r\n"));
}

void TestSettings::write_unreadableFile_isRefusedNotEmptied()
{
    writeBytes(m_path, "[Mail Setting]\r\nSMTP=kept\r\n");
    QVERIFY(::chmod(QFile::encodeName(m_path).constData(), 0200) == 0);
    {
        const Unprivileged user(m_dir->path());
        if (!user.ok()) {
            QSKIP("cannot give up root rights here");
        }
        IniFile ini(m_path);
        // Reads treat it as missing; a write must not replace it with only the one new key.
        QCOMPARE(ini.readString(u"Mail Setting"_qs, u"SMTP"_qs, u"none"_qs), u"none"_qs);
        QVERIFY_THROWS_EXCEPTION(EIniFileError, ini.writeString(u"Mail Setting"_qs, u"To"_qs, u"x"_qs));
    }
    QVERIFY(::chmod(QFile::encodeName(m_path).constData(), 0600) == 0);
    QCOMPARE(readBytes(m_path), QByteArray("[Mail Setting]\r\nSMTP=kept\r\n"));
}

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
