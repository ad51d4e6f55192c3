// SPDX-License-Identifier: MIT
#include "ArchiveBuilder.h"
#include "binary/ArchiveExtractor.h"

#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using Entries = QList<ArchiveEntry>;

class TestArchiveExtractor : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    // Extracts into <dir>/a/b/extract, deep enough that an escape of one or two levels would
    // still land inside the temporary directory, where it is looked for.
    std::optional<QString> extract(const QByteArray &archive, PayloadFormat format,
                                   qint64 limit = ArchiveExtractor::defaultSizeLimit)
    {
        QFile file(m_dir.filePath(QStringLiteral("archive")));
        if (!file.open(QIODevice::WriteOnly) || file.write(archive) != archive.size())
            return QStringLiteral("test archive not written");
        file.close();
        QDir().mkpath(extractionDirectory());
        return ArchiveExtractor(limit).extract(file.fileName(), format, extractionDirectory());
    }
    QString extractionDirectory() const { return m_dir.filePath(QStringLiteral("a/b/extract")); }
    QStringList filesOutside() const
    {
        QStringList outside;
        QDirIterator it(m_dir.path(), QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            if (!it.fileInfo().isDir() && !path.startsWith(extractionDirectory() + u'/') && it.fileName() != u"archive")
                outside.append(path);
        }
        return outside;
    }

private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        QDir(m_dir.path()).removeRecursively();
        QDir().mkpath(m_dir.path());
    }

    void extract_data()
    {
        QTest::addColumn<PayloadFormat>("format");
        QTest::addColumn<Entries>("entries");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QStringList>("files");
        const QByteArray elf = QByteArray::fromHex("7f454c4602");
        QTest::newRow("tar.gz with inner links")
            << PayloadFormat::Gzip
            << Entries{ArchiveEntry::file("bin/halvex", elf), ArchiveEntry::symlink("halvex", "bin/halvex"),
                       ArchiveEntry::symlink("lib/halvex", "../bin/halvex")}
            << QString() << QStringList{"bin/halvex", "halvex", "lib/halvex"};
        QTest::newRow("dot prefixed names")
            << PayloadFormat::Gzip << Entries{ArchiveEntry::file("./halvex")} << QString() << QStringList{"halvex"};
        QTest::newRow("parent deeper in the name")
            << PayloadFormat::Gzip << Entries{ArchiveEntry::file("d/../../escape")}
            << "Refusing entry outside the extraction directory: d/../../escape" << QStringList();
        QTest::newRow("absolute name") << PayloadFormat::Gzip << Entries{ArchiveEntry::file("/escape")}
                                       << "Refusing entry outside the extraction directory: /escape" << QStringList();
        QTest::newRow("symlink leaving, then written through")
            << PayloadFormat::Zip
            << Entries{ArchiveEntry::symlink("d/link", "../../escape"), ArchiveEntry::file("d/link/halvex")}
            << "Refusing link that leaves the extraction directory: d/link -> ../../escape" << QStringList();
        QTest::newRow("absolute symlink")
            << PayloadFormat::Gzip << Entries{ArchiveEntry::symlink("link", m_dir.path())}
            << QString("Refusing link that leaves the extraction directory: link -> " + m_dir.path()) << QStringList();
        QTest::newRow("hard link leaving")
            << PayloadFormat::Gzip << Entries{ArchiveEntry::hardlink("hard", "../archive")}
            << "Refusing link that leaves the extraction directory: hard -> ../archive" << QStringList();
        QTest::newRow("link climbing out of another link")
            << PayloadFormat::Gzip << Entries{ArchiveEntry::symlink("s", "."), ArchiveEntry::symlink("u", "s/..")}
            << "Refusing link that leaves the extraction directory: u -> s/.." << QStringList{"s"};
        QTest::newRow("hard link to a symbolic link")
            << PayloadFormat::Gzip << Entries{ArchiveEntry::symlink("d/s", "../f"), ArchiveEntry::hardlink("h", "d/s")}
            << "Refusing hard link to a symbolic link: h -> d/s" << QStringList{"d/s"};
        QTest::newRow("entry without a name") << PayloadFormat::Gzip << Entries{ArchiveEntry::file("")}
                                              << "Malformed archive: entry 1 has no name" << QStringList();
    }
    void extract()
    {
        QFETCH(PayloadFormat, format);
        QFETCH(Entries, entries);
        QFETCH(QString, error);
        QFETCH(QStringList, files);
        QCOMPARE(this->extract(buildArchive(format, entries), format).value_or(QString()), error);
        for (const QString &name : files) {
            const QFileInfo file(extractionDirectory() + u'/' + name);
            QVERIFY2(file.exists() || file.isSymLink(), qPrintable(name));
        }
        // A refused entry is never written.
        if (!error.isEmpty() && !entries.last().name.isEmpty())
            QVERIFY(!QFileInfo(extractionDirectory() + u'/' + entries.last().name).isSymLink() &&
                    !QFileInfo::exists(extractionDirectory() + u'/' + entries.last().name));
        QCOMPARE(filesOutside(), QStringList());
    }

    void directoriesAndFiles_keepOwnerRights()
    {
        const QByteArray archive = buildArchive(
            PayloadFormat::Gzip, {ArchiveEntry::directory("locked", 0), ArchiveEntry::file("locked/halvex", 0)});
        QCOMPARE(extract(archive, PayloadFormat::Gzip), std::nullopt);
        const auto owner = QFile::ReadOwner | QFile::WriteOwner;
        QVERIFY(
            QFile::permissions(extractionDirectory() + QStringLiteral("/locked")).testFlags(owner | QFile::ExeOwner));
        QVERIFY(QFile::permissions(extractionDirectory() + QStringLiteral("/locked/halvex")).testFlags(owner));
    }

    void sizeLimit_data()
    {
        QTest::addColumn<PayloadFormat>("format");
        QTest::addColumn<Entries>("entries");
        QTest::addColumn<qint64>("limit");
        QTest::addColumn<bool>("accepted");
        const Entries twoFiles{ArchiveEntry::file("a", QByteArray(4096, 'a')),
                               ArchiveEntry::file("b", QByteArray(4096, 'b'))};
        QTest::newRow("exactly at the limit") << PayloadFormat::Zip << twoFiles << qint64(8192) << true;
        QTest::newRow("one byte over") << PayloadFormat::Zip << twoFiles << qint64(8191) << false;
        QTest::newRow("sparse entry, holes counted")
            << PayloadFormat::Gzip << Entries{ArchiveEntry::sparse("halvex", 1 << 20)} << qint64(8192) << false;
    }
    void sizeLimit()
    {
        QFETCH(PayloadFormat, format);
        QFETCH(Entries, entries);
        QFETCH(qint64, limit);
        QFETCH(bool, accepted);
        const auto error = extract(buildArchive(format, entries), format, limit);
        QCOMPARE(!error.has_value(), accepted);
        if (error)
            QVERIFY2(error->startsWith(QStringLiteral("Unpacked size exceeds ")), qPrintable(*error));
    }
};

QTEST_GUILESS_MAIN(TestArchiveExtractor)
#include "tst_archiveextractor.moc"
