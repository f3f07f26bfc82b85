// setting.ini as a user or another program may have left it: any bytes.
#include "fuzzsupport.h"
#include "settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString path = fuzzFile("setting.ini", data, size);
    IniFile ini(path);

    // The keys the program reads at start-up and when mailing; any value must come back within bounds.
    const QString day = QStringLiteral("Day Setting");
    const QString mail = QStringLiteral("Mail Setting");
    FUZZ_CHECK(ini.readString(mail, QStringLiteral("Host"), QString()).size() <= 2047, path);
    ini.readString(mail, QStringLiteral("User"), QStringLiteral("none"));
    ini.readString(mail, QStringLiteral("Password"), QString());
    ini.readInteger(mail, QStringLiteral("Port"), 25);
    ini.readBool(mail, QStringLiteral("Auth"), true);
    ini.readInteger(day, QStringLiteral("Syuki"), 28);
    ini.readString(QString(), QString(), QString());

    // A write changes that one key: it reads back, and another write of the same value changes nothing.
    ini.writeInteger(day, QStringLiteral("Mode"), -7);
    FUZZ_CHECK(ini.readInteger(day, QStringLiteral("Mode"), 0) == -7, path);
    ini.writeString(mail, QStringLiteral("Host"), QStringLiteral("smtp.example.jp"));
    FUZZ_CHECK(ini.readString(mail, QStringLiteral("Host"), QString()) == QStringLiteral("smtp.example.jp"), path);
    FUZZ_CHECK(ini.readInteger(day, QStringLiteral("Mode"), 0) == -7, path);
    return 0;
}
