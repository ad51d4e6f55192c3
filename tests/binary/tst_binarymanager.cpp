// SPDX-License-Identifier: MIT
#include "ScriptedFileChooser.h"
#include "TestHttpsServer.h"
#include "TestSupport.h"
#include "binary/ArchiveExtractor.h"
#include "binary/BinaryManager.h"
#include "binary/ExecutableHeader.h"
#include "core/AppSettings.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <archive.h>
#include <archive_entry.h>

using TestSupport::readFile;

namespace {

// An entry of an archive that a test builds.
struct ArchiveEntry
{
    enum class Type { File, Symlink, Hardlink, Directory };
    Type type;
    QString name;
    QByteArray content; // of a file; the target of a link
    int permissions = 0644;

    static ArchiveEntry file(const QString &name, const QByteArray &content = "x")
    {
        return {Type::File, name, content};
    }
    static ArchiveEntry directory(const QString &name, int permissions)
    {
        return {Type::Directory, name, {}, permissions};
    }
    static ArchiveEntry symlink(const QString &name, const char *target) { return {Type::Symlink, name, target}; }
    static ArchiveEntry hardlink(const QString &name, const char *target) { return {Type::Hardlink, name, target}; }
};

using E = ArchiveEntry;

// The archive, written with libarchive: ZIP, or tar compressed with gzip.
QByteArray buildArchive(PayloadFormat format, const QList<ArchiveEntry> &entries)
{
    archive *writer = archive_write_new();
    if (format == PayloadFormat::Zip) {
        archive_write_set_format_zip(writer);
    } else {
        archive_write_set_format_pax_restricted(writer);
        archive_write_add_filter_gzip(writer);
    }
    QByteArray buffer(8 << 20, '\0');
    size_t used = 0;
    archive_write_open_memory(writer, buffer.data(), size_t(buffer.size()), &used);
    for (const ArchiveEntry &item : entries) {
        archive_entry *entry = archive_entry_new();
        archive_entry_copy_pathname(entry, item.name.toUtf8().constData());
        archive_entry_set_perm(entry, item.permissions);
        const bool file = item.type == ArchiveEntry::Type::File;
        archive_entry_set_filetype(entry, item.type == ArchiveEntry::Type::Directory ? AE_IFDIR
                                          : item.type == ArchiveEntry::Type::Symlink ? AE_IFLNK
                                                                                     : AE_IFREG);
        if (item.type == ArchiveEntry::Type::Symlink)
            archive_entry_copy_symlink(entry, item.content.constData());
        if (item.type == ArchiveEntry::Type::Hardlink)
            archive_entry_copy_hardlink(entry, item.content.constData());
        archive_entry_set_size(entry, file ? item.content.size() : 0);
        archive_write_header(writer, entry);
        archive_write_data(writer, item.content.constData(), file ? size_t(item.content.size()) : 0);
        archive_entry_free(entry);
    }
    archive_write_close(writer);
    archive_write_free(writer);
    buffer.truncate(qsizetype(used));
    return buffer;
}

// The first bytes of an executable, given in hex, padded with zeros as the rest of a header.
QByteArray padded(const QByteArray &hex)
{
    return QByteArray::fromHex(hex).leftJustified(64, '\0');
}

// An ELF header: class and byte order, then the machine as stored.
QByteArray elfHeader(const char *classAndOrder, const char *machine)
{
    return padded("7f454c46" + QByteArray(classAndOrder) + QByteArray(24, '0') + machine);
}

const QString assetPath = "/latest/halvex-linux-amd64";
const auto rw =
    QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser | QFile::ReadGroup | QFile::ReadOther;
const auto rwx = rw | QFile::ExeOwner | QFile::ExeUser | QFile::ExeGroup | QFile::ExeOther;

// An executable of this machine; with a machine number, the same built for another processor.
QByteArray elf(quint16 machine = 0)
{
    QByteArray bytes = readFile("/bin/true");
    if (machine)
        qToLittleEndian(machine, bytes.data() + 18);
    return bytes;
}
// The one file of a payload that the install must choose.
const QByteArray chosen = elf() + "chosen";

} // namespace

class TestBinaryManager : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TestHttpsServer> m_server;
    std::unique_ptr<AppSettings> m_settings;
    ScriptedFileChooser m_chooser;
    std::unique_ptr<BinaryManager> m_manager;

    QString path(const QString &name) const { return m_dir->filePath(name); }
    AppPaths paths() const { return AppPaths(path("state")); }
    void createManager(const QUrl &base, const AppPaths &paths)
    {
        m_manager = std::make_unique<BinaryManager>(m_settings.get(), paths, &m_chooser, base);
        m_manager->setCertificateAuthorities(m_server->certificateAuthority());
    }
    bool runDownload()
    {
        m_manager->downloadBinary();
        return QTest::qWaitFor([this] { return !m_manager->isDownloading(); }, 20000);
    }
    // The completion's result, with the manager's error as it was when the completion ran.
    std::pair<bool, QString> choose(const QString &file)
    {
        m_chooser.answer(file);
        std::optional<std::pair<bool, QString>> result;
        m_manager->selectBinary([&](bool stored) { result = {stored, m_manager->downloadError()}; });
        return QTest::qWaitFor([&] { return result.has_value(); }) ? *result : std::pair(false, QString("none"));
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_server = std::make_unique<TestHttpsServer>();
        QVERIFY(m_server->listen());
        m_settings = std::make_unique<AppSettings>(paths());
        createManager(m_server->baseUrl(), paths());
    }
    void cleanup() { m_manager.reset(); }

    // What a file is built for decides whether the launch and the install take it, and what their
    // messages say of it.
    void header_data()
    {
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<QString>("architectures");
        QTest::addColumn<QString>("description");
        QTest::addColumn<int>("runsOn"); // 1: Linux on x86-64, 2: macOS on x86-64, 0: neither
        const auto row = [](const char *name, const QByteArray &head, const char *architectures,
                            const char *description, int runsOn) {
            QTest::newRow(name) << head << QString(architectures) << QString(description) << runsOn;
        };
        row("32-bit ELF", elfHeader("0101", "3e00"), "x86_64", "32-bit ELF for x86_64", 0);
        row("big-endian ELF", elfHeader("0202", "003e"), "x86_64", "big-endian ELF for x86_64", 0);
        row("ELF magic alone", QByteArray::fromHex("7f454c46"), "", "data beginning 7f 45 4c 46", 0);
        row("Mach-O x86-64", padded("cffaedfe07000001"), "x86_64", "Mach-O for x86_64", 2);
        row("universal", padded("cafebabe0000000201000007" + QByteArray(32, '0') + "0100000c"), "x86_64 arm64",
            "universal Mach-O for x86_64 arm64", 0);
    }
    void header()
    {
        QFETCH(QByteArray, head);
        QFETCH(QString, architectures);
        QFETCH(QString, description);
        QFETCH(int, runsOn);
        const ExecutableHeader header(head);
        QCOMPARE(header.architectures(), architectures);
        QCOMPARE(header.description(), description);
        QCOMPARE(header.runsOn({ExecutableHeader::Format::Elf, 64, QSysInfo::LittleEndian, 62}), runsOn == 1);
        QCOMPARE(header.runsOn({ExecutableHeader::Format::MachO, 64, QSysInfo::LittleEndian, 0x01000007}), runsOn == 2);
    }

    // The owner can look into and empty every directory, or the unpacked files could never be removed.
    void extraction_boundsTheSizeKeepsOwnerRights()
    {
        QTemporaryDir dir;
        const QString archive = dir.filePath("archive");
        TestSupport::writeFile(
            archive, buildArchive(PayloadFormat::Zip, {E::directory("d", 0), E::file("d/a", QByteArray(4096, 'a')),
                                                       E::file("d/b", QByteArray(4096, 'b'))}));
        QVERIFY(QDir(dir.path()).mkdir("out"));
        const auto extract = [&](qint64 limit) {
            return ArchiveExtractor(limit).extract(archive, PayloadFormat::Zip, dir.filePath("out")).value_or("");
        };
        QCOMPARE(extract(8192), "");
        QVERIFY(QFileInfo(dir.filePath("out/d")).permission(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QCOMPARE(extract(8191), "Unpacked size exceeds 8 KiB");
    }

    void download_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("error"); // none: the file "chosen" is installed
        const auto row = [](const char *name, const QByteArray &payload, const QString &error = {}) {
            QTest::newRow(name) << payload << 200 << (error.isEmpty() ? error : "Installation failed: " + error);
        };
        const auto zip = [](const QList<ArchiveEntry> &entries) { return buildArchive(PayloadFormat::Zip, entries); };
        const auto gz = [](const QList<ArchiveEntry> &entries) { return buildArchive(PayloadFormat::Gzip, entries); };
        const QByteArray companion = QByteArray::fromHex("00051607");
        const QString outside = "Failed to extract archive: Refusing entry outside the extraction directory: ";
        const QString leaving = "Failed to extract archive: Refusing link that leaves the extraction directory: ";

        row("zip with folder and readme", zip({E::file("halvex-linux-amd64/halvex", chosen), E::file("x/README")}));
        row("tar.gz, name in capitals", gz({E::file("HALVEX-SERVER", chosen)}));
        row("bare ELF", chosen);
        row("bare script", "#!/bin/sh\n", "Downloaded file is not a valid Linux binary: text beginning \"#!/bin/sh\"");
        row("bare ELF for another machine", elf(183), "Downloaded file is not a valid Linux binary: ELF for aarch64");
        QTest::newRow("HTTP error page") << chosen << 404 << "Download failed: HTTP 404";
        row("no name with halvex", gz({E::file("server", elf())}), "Binary 'halvex' not found in zip. Found: server");
        // The choice goes by content: among the files named after the server, the one that runs
        // here; "halvex" itself before others, then the shallowest, whatever comes first in the walk.
        row("named after the server, not runnable, come first",
            zip({E::file("HALVEX-README.txt"), E::file("._halvex", companion), E::file("halvex"),
                 E::file("bin/halvex-server", chosen)}));
        row("exact name before a shallower one, then the shallowest",
            gz({E::file("halvex-tool", elf()), E::file("z/bin/more/halvex", elf()), E::file("z/bin/halvex", chosen)}));
        row("none runs here",
            zip({E::file("._halvex", companion), E::file("halvex", elf(183)), E::file("server", elf())}),
            "No extracted file is a valid Linux binary: ._halvex (data beginning 00 05 16 07), halvex (ELF for "
            "aarch64)");
        row("links that stay inside", gz({E::file("./bin/halvex", chosen), E::symlink("halvex", "bin/halvex"),
                                          E::symlink("lib/halvex", "../bin/halvex")}));
        row("parent in a name", gz({E::file("d/../../escape")}), outside + "d/../../escape");
        row("absolute name", gz({E::file("/escape")}), outside + "/escape");
        row("symlink leaving, then written through",
            gz({E::symlink("d/link", "../../escape"), E::file("d/link/halvex", elf())}),
            leaving + "d/link -> ../../escape");
        row("absolute symlink", gz({E::symlink("link", "/")}), leaving + "link -> /");
        row("hard link leaving", gz({E::hardlink("hard", "../settings.json")}), leaving + "hard -> ../settings.json");
        row("link climbing out of another link", gz({E::symlink("s", "."), E::symlink("u", "s/..")}),
            leaving + "u -> s/..");
        row("hard link to a symbolic link", gz({E::symlink("d/s", "../f"), E::hardlink("h", "d/s")}),
            "Failed to extract archive: Refusing hard link to a symbolic link: h -> d/s");
        row("entry without a name", gz({E::file("")}),
            "Failed to extract archive: Malformed archive: entry 1 has no name");
    }
    void download()
    {
        QFETCH(QByteArray, payload);
        QFETCH(int, status);
        QFETCH(QString, error);
        const QString target = m_manager->binaryInstallURL();
        const QByteArray old = "#!/bin/sh\necho old\n";
        TestSupport::writeFile(target, old, rwx);
        m_settings->setBinaryPath(QUrl::fromLocalFile(path("earlier")));
        // Through a redirect, as release servers answer.
        m_server->serve(assetPath, 302, m_server->baseUrl().resolved(QUrl("/release")).toEncoded());
        m_server->serve("/release", status, payload);
        // The guard covers the install: when isDownloading turns false, the outcome is in place.
        QByteArray whenDone;
        connect(m_manager.get(), &BinaryManager::changed, this, [&] {
            if (!m_manager->isDownloading() && whenDone.isNull())
                whenDone = readFile(target);
        });
        QVERIFY(runDownload());

        QCOMPARE(m_manager->downloadError(), error);
        QCOMPARE(readFile(target), error.isEmpty() ? chosen : old);
        QCOMPARE(whenDone, readFile(target));
        QCOMPARE(m_settings->binaryPath().toLocalFile(), error.isEmpty() ? target : path("earlier"));
        QCOMPARE(QFile::permissions(target), rwx);
        QCOMPARE(readFile(paths().settingsFile()).contains(QUrl::fromLocalFile(target).toEncoded()), error.isEmpty());
        // No payload, extraction folder or half-installed file is left, and nothing got out.
        QStringList left = QDir(paths().directory()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        left.removeOne("settings.json");
        QCOMPARE(left, QStringList{"halvex"});
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"state"});
    }

    // A second start while one runs does nothing; the progress is real.
    void progress_risesFromZeroToOne_secondStartIgnored()
    {
        m_server->serve(assetPath, 200, elf() + QByteArray(4 << 20, '\0'), 4);
        QList<double> seen;
        connect(m_manager.get(), &BinaryManager::changed, this, [&] { seen.append(m_manager->downloadProgress()); });
        m_manager->downloadBinary();
        QVERIFY(runDownload());
        QVERIFY(m_server->requestCount() == 1 && m_manager->downloadError().isEmpty());
        QVERIFY(seen.first() == 0 && seen.last() == 1 && std::is_sorted(seen.cbegin(), seen.cend()));
        QVERIFY(std::any_of(seen.cbegin(), seen.cend(), [](double p) { return p > 0 && p < 1; }));
    }

    void failedTransfer_saysWhy()
    {
        QUrl moved = m_server->baseUrl().resolved(QUrl("/moved"));
        moved.setScheme("http");
        m_server->serve(assetPath, 302, moved.toEncoded());
        m_server->serve("/moved", 200, elf());
        QVERIFY(runDownload());
        QCOMPARE(m_manager->downloadError(), "Insecure redirect");

        m_server->serve(assetPath, 0);
        m_manager->setTransferTimeout(std::chrono::milliseconds(300));
        QVERIFY(runDownload());
        QCOMPARE(m_manager->downloadError(), "Download failed: timed out");

        createManager(QUrl("http://127.0.0.1:9"), paths());
        QVERIFY(runDownload());
        QCOMPARE(m_manager->downloadError(), "Invalid download URL");
    }

    void select_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("error"); // none when the file is stored
        QTest::newRow("executable") << "executable" << QString();
        QTest::newRow("mode 644 repaired") << "644" << QString();
        QTest::newRow("missing") << "missing"
                                 << "Selected file does not exist";
    }
    void select()
    {
        QFETCH(QString, kind);
        QFETCH(QString, error);
        const QString file = path(kind);
        if (kind != "missing")
            TestSupport::writeFile(file, "#!/bin/sh\n", kind == "executable" ? rwx : rw);
        const QUrl earlier = QUrl::fromLocalFile("/opt/earlier/halvex");
        m_settings->setBinaryPath(earlier);

        QCOMPARE(choose(file), std::pair(error.isEmpty(), error));
        QCOMPARE(m_settings->binaryPath(), error.isEmpty() ? QUrl::fromLocalFile(file) : earlier);
        QCOMPARE(m_manager->isBinaryAvailable(), error.isEmpty());
        if (error.isEmpty())
            QCOMPARE(QFile::permissions(file), rwx);
        // A cancel leaves the outcome of the last choice as it was.
        QCOMPARE(choose(QString()), std::pair(false, error));
    }

    // Configured through a link, so that a change of the file itself is seen only by a watch on
    // the configured path, and the removal of the link only by one on its directory.
    void available_onlyForAnExecutableFile_watched()
    {
        QVERIFY(QDir().mkpath(path("real")));
        const QString target = path("real/halvex");
        const QString link = path("halvex");
        TestSupport::writeFile(target, "#!/bin/sh\n", rwx);
        QVERIFY(QFile::link(target, link));
        QSignalSpy changed(m_manager.get(), &BinaryManager::changed);
        // 1 or 0 for the availability once the manager told of a change; -1 when it did not.
        const auto availableAfter = [&](const std::function<void()> &change) {
            changed.clear();
            change();
            return QTest::qWaitFor([&] { return !changed.isEmpty(); }) ? int(m_manager->isBinaryAvailable()) : -1;
        };
        QCOMPARE(availableAfter([&] { m_settings->setBinaryPath(QUrl::fromLocalFile(link)); }), 1);
        QCOMPARE(availableAfter([&] { QFile::remove(link); }), 0);
        QCOMPARE(availableAfter([&] { QFile::link(target, link); }), 1);
        QCOMPARE(availableAfter([&] { QFile::setPermissions(target, rw); }), 0);
        QCOMPARE(availableAfter([&] { QFile::setPermissions(target, rwx); }), 1);
        QCOMPARE(availableAfter([&] { m_settings->setBinaryPath(QUrl::fromLocalFile(m_dir->path())); }), 0);
        QCOMPARE(availableAfter([&] { m_settings->setBinaryPath(QUrl()); }), 0);
    }
};

QTEST_GUILESS_MAIN(TestBinaryManager)
#include "tst_binarymanager.moc"
