// SPDX-License-Identifier: MIT
#include "ArchiveBuilder.h"
#include "StdoutCapture.h"
#include "TestHttpsServer.h"
#include "binary/BinaryManager.h"
#include "core/AppSettings.h"
#include "ScriptedFileChooser.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

using Entries = QList<ArchiveEntry>;

namespace {
const QString assetPath = QStringLiteral("/latest/halvex-linux-amd64");
const QByteArray oldExecutable = "#!/bin/sh\necho old\n";

QByteArray elf()
{
    QFile file(QStringLiteral("/bin/true"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The machine's own executable, built for another processor.
QByteArray elfFor(quint16 machine)
{
    QByteArray bytes = elf();
    qToLittleEndian(machine, bytes.data() + 18);
    return bytes;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

class TestBinaryDownload : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    TestHttpsServer *m_server = nullptr;
    AppSettings *m_settings = nullptr;
    BinaryManager *m_manager = nullptr;
    ScriptedFileChooser m_chooser;

    AppPaths paths() const { return AppPaths(m_dir.filePath(QStringLiteral("state"))); }
    void createManager(const QUrl &base)
    {
        delete m_manager;
        m_manager = new BinaryManager(m_settings, paths(), &m_chooser, base);
        m_manager->setSslConfiguration(m_server->clientConfiguration());
    }
    bool runDownload()
    {
        m_manager->downloadBinary();
        return QTest::qWaitFor([this] { return !m_manager->isDownloading(); }, 20000);
    }

private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        QDir(m_dir.path()).removeRecursively();
        QDir().mkpath(m_dir.path());
        m_server = new TestHttpsServer(this);
        QVERIFY(m_server->listen());
        m_settings = new AppSettings(paths(), this);
        createManager(m_server->baseUrl());
    }
    void cleanup()
    {
        delete std::exchange(m_manager, nullptr);
        delete m_settings;
        delete m_server;
    }

    void download_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<int>("status");
        // The whole message; one ending in "*" is a prefix.
        QTest::addColumn<QString>("error");
        QTest::addColumn<QStringList>("printed");
        QTest::newRow("zip with folder and readme")
            << buildArchive(PayloadFormat::Zip, {ArchiveEntry::file("halvex-linux-amd64/halvex", elf()),
                                                 ArchiveEntry::file("halvex-linux-amd64/README", "read me")})
            << 200 << QString()
            << QStringList{"📦 Detected ZIP archive", "📦 All extracted files: [\"README\", \"halvex\"]",
                           "🎯 Found binary: halvex at %1/halvex-linux-amd64/halvex", "✅ Binary format verified as ELF"};
        QTest::newRow("tar.gz") << buildArchive(PayloadFormat::Gzip, {ArchiveEntry::file("halvex", elf())}) << 200
                                << QString()
                                << QStringList{"📦 Detected GZIP/TAR.GZ archive", "📦 All extracted files: [\"halvex\"]",
                                               "🎯 Found binary: halvex at %1/halvex"};
        QTest::newRow("bare ELF") << elf() << 200 << QString() << QStringList{"✅ Binary format verified as ELF"};
        QTest::newRow("bare script") << QByteArray("#!/bin/sh\necho new\n") << 200
                                     << "Installation failed: Downloaded file is not a valid Linux binary: text "
                                        "beginning \"#!/bin/sh\""
                                     << QStringList();
        QTest::newRow("bare ELF for another machine")
            << elfFor(183) << 200 << "Installation failed: Downloaded file is not a valid Linux binary: ELF for aarch64"
            << QStringList();
        QTest::newRow("HTTP error page") << elf() << 404 << "Download failed: HTTP 404" << QStringList();
        QTest::newRow("only HALVEX-SERVER")
            << buildArchive(PayloadFormat::Zip, {ArchiveEntry::file("HALVEX-SERVER", elf())}) << 200 << QString()
            << QStringList{"🎯 Found binary: HALVEX-SERVER at %1/HALVEX-SERVER"};
        QTest::newRow("only server") << buildArchive(PayloadFormat::Gzip, {ArchiveEntry::file("server", elf())}) << 200
                                     << "Installation failed: Binary 'halvex' not found in zip. Found: server"
                                     << QStringList{"📦 All extracted files: [\"server\"]"};
        // Among the files named after the server, the one that runs here; "halvex" itself, then the shallowest.
        QTest::newRow("readme named after the server comes first")
            << buildArchive(PayloadFormat::Zip,
                            {ArchiveEntry::file("HALVEX-README.txt", "read me"), ArchiveEntry::file("halvex", elf())})
            << 200 << QString() << QStringList{"🎯 Found binary: halvex at %1/halvex"};
        QTest::newRow("hidden companion comes first")
            << buildArchive(PayloadFormat::Zip, {ArchiveEntry::file("halvex", elf()),
                                                 ArchiveEntry::file("._halvex", QByteArray::fromHex("00051607"))})
            << 200 << QString() << QStringList{"🎯 Found binary: halvex at %1/halvex"};
        QTest::newRow("exact name before a shallower one")
            << buildArchive(PayloadFormat::Gzip,
                            {ArchiveEntry::file("a-docs/halvex.md", "# Halvex"),
                             ArchiveEntry::file("halvex-tool", elf()), ArchiveEntry::file("z/bin/halvex", elf())})
            << 200 << QString() << QStringList{"🎯 Found binary: halvex at %1/z/bin/halvex"};
        QTest::newRow("shallowest") << buildArchive(PayloadFormat::Gzip,
                                                    {ArchiveEntry::file("a/b/halvex-server", elf()),
                                                     ArchiveEntry::file("z/halvex-server", elf())})
                                    << 200 << QString()
                                    << QStringList{"🎯 Found binary: halvex-server at %1/z/halvex-server"};
        QTest::newRow("executable for another machine")
            << buildArchive(PayloadFormat::Zip, {ArchiveEntry::file("halvex", elfFor(183))}) << 200
            << "Installation failed: Extracted file is not a valid Linux binary: halvex (ELF for aarch64)"
            << QStringList{"📦 All extracted files: [\"halvex\"]"};
        QTest::newRow("no candidate runs here")
            << buildArchive(PayloadFormat::Zip,
                            {ArchiveEntry::file("._halvex", QByteArray::fromHex("00051607")),
                             ArchiveEntry::file("halvex.md", "# Halvex\n"), ArchiveEntry::file("server", elf())})
            << 200
            << "Installation failed: No extracted file is a valid Linux binary: ._halvex (data beginning 00 05 16 "
               "07), halvex.md (text beginning \"# Halvex\")"
            << QStringList();
        QTest::newRow("directory without owner rights")
            << buildArchive(PayloadFormat::Gzip,
                            {ArchiveEntry::directory("locked", 0), ArchiveEntry::file("locked/halvex", elf())})
            << 200 << QString() << QStringList{"🎯 Found binary: halvex at %1/locked/halvex"};
        QTest::newRow("parent in a name")
            << buildArchive(PayloadFormat::Zip,
                            {ArchiveEntry::file("../escape", elf()), ArchiveEntry::file("halvex", elf())})
            << 200
            << "Installation failed: Failed to extract archive: Refusing entry outside the extraction directory: "
               "../escape"
            << QStringList();
        QTest::newRow("symlink leaving")
            << buildArchive(PayloadFormat::Zip,
                            {ArchiveEntry::symlink("link", "../.."), ArchiveEntry::file("link/halvex", elf())})
            << 200
            << "Installation failed: Failed to extract archive: Refusing link that leaves the extraction directory: "
               "link -> ../.."
            << QStringList();
        QTest::newRow("corrupt zip") << QByteArray::fromHex("504b0304ffffffff0000") << 200
                                     << "Installation failed: Failed to extract archive: *" << QStringList();
        QTest::newRow("truncated tar.gz")
            << buildArchive(PayloadFormat::Gzip, {ArchiveEntry::file("halvex", elf())}).left(60) << 200
            << "Installation failed: Failed to extract archive: *" << QStringList();
    }
    void download()
    {
        QFETCH(QByteArray, payload);
        QFETCH(int, status);
        QFETCH(QString, error);
        QFETCH(QStringList, printed);
        const QString installed = m_manager->binaryInstallURL();
        QFile old(installed);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(oldExecutable);
        old.close();
        m_settings->setBinaryPath(QUrl::fromLocalFile(installed));
        m_server->serve(assetPath, {status, payload, {}});

        // The guard must cover the install: when isDownloading turns false, the outcome is in place.
        QByteArray contentWhenDone;
        connect(m_manager, &BinaryManager::changed, this, [&] {
            if (!m_manager->isDownloading() && contentWhenDone.isNull())
                contentWhenDone = readFile(installed);
        });
        StdoutCapture output;
        QVERIFY(runDownload());

        if (error.endsWith(u'*'))
            QVERIFY2(m_manager->downloadError().startsWith(error.chopped(1)), qPrintable(m_manager->downloadError()));
        else
            QCOMPARE(m_manager->downloadError(), error);
        QCOMPARE(readFile(installed), error.isEmpty() ? elf() : oldExecutable);
        QCOMPARE(contentWhenDone, readFile(installed));
        QCOMPARE(m_settings->binaryPath(), QUrl::fromLocalFile(installed));
        if (error.isEmpty()) {
            QCOMPARE(QFile::permissions(installed), QFileDevice::Permissions(0x7755));
            QVERIFY(readFile(paths().settingsFile()).contains(QUrl::fromLocalFile(installed).toEncoded()));
        }
        // No payload, extraction folder or half-installed file is left behind, whatever the
        // outcome, and nothing left the state directory.
        QStringList left = QDir(paths().directory()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        left.removeOne(QStringLiteral("settings.json"));
        QCOMPARE(left, QStringList{QStringLiteral("halvex")});
        QCOMPARE(QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"state"});

        const QString text = QString::fromUtf8(output.text());
        qsizetype at = 0;
        for (const QString &line : printed) {
            at = text.indexOf(QString(line).replace(QStringLiteral("%1"), paths().extractionDirectory()) + u'\n', at);
            QVERIFY2(at >= 0, qPrintable(line));
        }
    }

    void secondDownloadWhileRunning_isIgnored()
    {
        m_server->serve(assetPath, {200, elf(), {}});
        m_manager->downloadBinary();
        m_manager->downloadBinary();
        QVERIFY(QTest::qWaitFor([this] { return !m_manager->isDownloading(); }, 20000));
        QCOMPARE(m_server->requestCount(), 1);
        QCOMPARE(m_manager->downloadError(), QString());
    }

    void progress_risesFromZeroToOne()
    {
        m_server->serve(assetPath, {200, elf() + QByteArray(4 << 20, '\0'), {}, 4});
        QList<double> seen;
        connect(m_manager, &BinaryManager::changed, this, [&] { seen.append(m_manager->downloadProgress()); });
        QVERIFY(runDownload());
        QCOMPARE(seen.first(), 0.0);
        QCOMPARE(seen.last(), 1.0);
        QVERIFY(std::is_sorted(seen.cbegin(), seen.cend()));
        QVERIFY(std::any_of(seen.cbegin(), seen.cend(), [](double p) { return p > 0 && p < 1; }));
    }

    void redirect_data()
    {
        QTest::addColumn<QString>("scheme");
        QTest::addColumn<bool>("followed");
        QTest::newRow("to https") << "https" << true;
        QTest::newRow("to plain http") << "http" << false;
    }
    void redirect()
    {
        QFETCH(QString, scheme);
        QFETCH(bool, followed);
        QUrl target = m_server->baseUrl().resolved(QUrl(QStringLiteral("/moved")));
        target.setScheme(scheme);
        m_server->serve(assetPath, {302, {}, target.toEncoded()});
        m_server->serve(QStringLiteral("/moved"), {200, elf(), {}});
        QVERIFY(runDownload());
        QCOMPARE(m_manager->downloadError().isEmpty(), followed);
        QCOMPARE(QFile::exists(m_manager->binaryInstallURL()), followed);
    }

    void unusableBase_data()
    {
        QTest::addColumn<QUrl>("base");
        QTest::newRow("plain http") << QUrl(QStringLiteral("http://127.0.0.1:9"));
        QTest::newRow("no host") << QUrl(QStringLiteral("https://"));
        QTest::newRow("empty") << QUrl();
    }
    void unusableBase()
    {
        QFETCH(QUrl, base);
        createManager(base);
        QVERIFY(runDownload());
        QCOMPARE(m_manager->downloadError(), QStringLiteral("Invalid download URL"));
    }

    void connectionRefused_showsTheReason()
    {
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        const quint16 port = closed.serverPort();
        closed.close();
        createManager(QUrl(QStringLiteral("https://127.0.0.1:%1").arg(port)));
        QVERIFY(runDownload());
        QCOMPARE(m_manager->downloadError(), QStringLiteral("Connection refused"));
    }

    void stalledServer_timesOut()
    {
        m_server->serve(assetPath, {0, {}, {}});
        m_manager->setTransferTimeout(std::chrono::milliseconds(300));
        QVERIFY(runDownload());
        QCOMPARE(m_manager->downloadError(), QStringLiteral("Download failed: timed out"));
        QVERIFY(!QFile::exists(m_manager->binaryInstallURL()));
    }

    void unwritableStateDirectory_noFileReceived()
    {
        QFile blocker(m_dir.filePath(QStringLiteral("blocker")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        delete m_manager;
        m_manager = new BinaryManager(m_settings, AppPaths(blocker.fileName() + QStringLiteral("/state")), &m_chooser,
                                      m_server->baseUrl());
        QVERIFY(runDownload());
        QCOMPARE(m_manager->downloadError(), QStringLiteral("Download failed: no file received"));
    }
};

QTEST_GUILESS_MAIN(TestBinaryDownload)
#include "tst_binarydownload.moc"
