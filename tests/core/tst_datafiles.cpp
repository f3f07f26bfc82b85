// The rules that go over the one list of her data files: the folder rules refuse each of them when it
// is another user's or leads to another user's file, and the start-up clean-up takes only what a save
// of one of them left behind.

#include "datafiles.h"
#include "folderrules.h"
#include "savetemps.h"

#include "../support/otheruser.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

class TestDataFiles : public QObject
{
    Q_OBJECT

private slots:
    void folderRules_dataFileOfAnotherUser_isRefusedByName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("throughLink");
        for (const DataFile &file : DataFiles) {
            QTest::addRow("%s, the file itself", file.name) << dataFileName(file) << false;
            QTest::addRow("%s, a link to it", file.name) << dataFileName(file) << true;
        }
    }

    void folderRules_dataFileOfAnotherUser_isRefusedByName()
    {
        QFETCH(QString, name);
        QFETCH(bool, throughLink);
        const OtherUser other;
        if (!other.ok()) {
            QSKIP(qPrintable(other.reason()));
        }
        QTemporaryDir home;
        QVERIFY(home.isValid());
        const QString folder = home.filePath(QStringLiteral("eveluna"));
        QVERIFY(QDir().mkdir(folder));
        QVERIFY(
            QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
        const QString path = QDir(folder).filePath(name);
        QVERIFY(dataFolderRefusal(folder).isEmpty());
        if (throughLink) {
            const QString theirs = home.filePath(QStringLiteral("theirs"));
            QVERIFY(other.plantFile(theirs));
            QVERIFY(QFile::link(theirs, path));
        } else {
            QVERIFY(other.plantFile(path));
        }
        QCOMPARE(dataFolderRefusal(folder),
                 QStringLiteral("データファイル %1 は使えません。ほかのユーザーのファイルか、"
                                "ほかのユーザーのファイルを指すリンクです")
                     .arg(path));
    }

    void removeStaleTemporaryFiles_onlyWhatASaveOfHerFilesLeaves_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("removed");
        for (const DataFile &file : DataFiles) {
            QTest::addRow("save of %s", file.name) << QStringLiteral(".%1.tmp-Ab12Cd").arg(dataFileName(file)) << true;
        }
        QTest::newRow("a note's backup") << ".notes.tmp-backup" << false;
        QTest::newRow("an editor's draft") << ".my-thesis.tex.tmp-draft1" << false;
        QTest::newRow("another file, six characters") << ".thesis.tex.tmp-Ab12Cd" << false;
        QTest::newRow("five characters") << ".date.dat.tmp-Ab12C" << false;
        QTest::newRow("seven characters") << ".date.dat.tmp-Ab12Cde" << false;
        QTest::newRow("not hidden") << "date.dat.tmp-Ab12Cd" << false;
        QTest::newRow("a sign among the six") << ".date.dat.tmp-Ab-2Cd" << false;
    }

    void removeStaleTemporaryFiles_onlyWhatASaveOfHerFilesLeaves()
    {
        QFETCH(QString, name);
        QFETCH(bool, removed);
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        QFile file(folder.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        QCOMPARE(removeStaleTemporaryFiles(folder.path()), removed ? 1 : 0);
        QCOMPARE(QFile::exists(folder.filePath(name)), !removed);
    }
};

QTEST_GUILESS_MAIN(TestDataFiles)
#include "tst_datafiles.moc"
