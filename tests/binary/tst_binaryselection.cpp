// SPDX-License-Identifier: MIT
#include "binary/BinaryManager.h"
#include "core/AppSettings.h"
#include "ScriptedFileChooser.h"

#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {
bool run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    return process.waitForFinished() && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}
} // namespace

class TestBinarySelection : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    AppPaths paths() const { return AppPaths(m_dir.filePath(QStringLiteral("state"))); }
    QString writeFile(const QString &path, QFileDevice::Permissions permissions)
    {
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write("#!/bin/sh\n");
        file.setPermissions(permissions);
        return path;
    }

private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        QDir(m_dir.path()).removeRecursively();
        QDir().mkpath(m_dir.path());
    }

    void select_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("stored");
        // %1 stands for the chosen path.
        QTest::addColumn<QString>("error");
        QTest::newRow("executable") << "executable" << true << QString();
        QTest::newRow("mode 644 repaired") << "644" << true << QString();
        QTest::newRow("missing") << "missing" << false << "Selected file does not exist";
        QTest::newRow("mode cannot be changed")
            << "immutable" << false << "Permissions error: Operation not permitted. Try: chmod +x \"%1\"";
        QTest::newRow("mode set, still cannot run")
            << "noexec" << false
            << "Cannot set execute permissions. Current permissions: 644. Try running in Terminal: chmod +x \"%1\"";
    }
    void select()
    {
        QFETCH(QString, kind);
        QFETCH(bool, stored);
        QFETCH(QString, error);
        const auto rw = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser | QFile::ReadGroup |
                        QFile::ReadOther;
        const auto rwx = rw | QFile::ExeOwner | QFile::ExeUser | QFile::ExeGroup | QFile::ExeOther;
        QString path = m_dir.filePath(kind);
        if (kind == u"executable") {
            writeFile(path, rwx);
        } else if (kind == u"644") {
            writeFile(path, rw);
        } else if (kind == u"immutable") {
            writeFile(path, rw);
            if (!run(QStringLiteral("chattr"), {QStringLiteral("+i"), path}))
                QSKIP("chattr +i is not available here, so every mode can be changed");
        } else if (kind == u"noexec") {
            QDir().mkpath(path);
            if (!run(QStringLiteral("mount"), {"-t", "tmpfs", "-o", "noexec", "tmpfs", path}))
                QSKIP("cannot mount a noexec file system here");
            path = writeFile(path + QStringLiteral("/halvex"), rw);
        }
        const auto undo = qScopeGuard([&] {
            if (kind == u"immutable")
                run(QStringLiteral("chattr"), {QStringLiteral("-i"), path});
            if (kind == u"noexec")
                run(QStringLiteral("umount"), {m_dir.filePath(kind)});
        });

        AppSettings settings(paths());
        const QUrl earlier = QUrl::fromLocalFile(QStringLiteral("/opt/earlier/halvex"));
        settings.setBinaryPath(earlier);
        ScriptedFileChooser chooser;
        chooser.answer(path);
        BinaryManager manager(&settings, paths(), &chooser, QUrl());
        QList<bool> results;
        manager.selectBinary([&](bool ok) {
            results.append(ok);
            // The state is in place when the completion runs.
            QCOMPARE(manager.downloadError(), QString(error).replace(QStringLiteral("%1"), path));
        });
        QTRY_COMPARE(results, QList<bool>{stored});

        QCOMPARE(chooser.requests().size(), 1);
        QCOMPARE(chooser.requests().first().message, QStringLiteral("Select Halvex binary"));
        QCOMPARE(chooser.requests().first().mode, FileChooserRequest::Mode::OpenFile);
        QCOMPARE(settings.binaryPath(), stored ? QUrl::fromLocalFile(path) : earlier);
        QCOMPARE(manager.isBinaryAvailable(), stored);
        if (stored)
            QCOMPARE(QFile::permissions(path), rwx);
    }

    void cancel_keepsEarlierError()
    {
        AppSettings settings(paths());
        ScriptedFileChooser chooser;
        chooser.answer(m_dir.filePath(QStringLiteral("gone")));
        chooser.cancel();
        BinaryManager manager(&settings, paths(), &chooser, QUrl());
        QList<bool> results;
        manager.selectBinary([&](bool ok) { results.append(ok); });
        QTRY_COMPARE(results.size(), 1);
        manager.selectBinary([&](bool ok) { results.append(ok); });
        QTRY_COMPARE(results, (QList<bool>{false, false}));
        QCOMPARE(manager.downloadError(), QStringLiteral("Selected file does not exist"));
    }

    void available_data()
    {
        QTest::addColumn<QString>("binary");
        QTest::addColumn<bool>("available");
        QTest::newRow("unset") << "" << false;
        QTest::newRow("deleted") << "deleted" << false;
        QTest::newRow("not executable") << "plain" << false;
        QTest::newRow("a directory") << "." << false;
        QTest::newRow("executable") << "runnable" << true;
    }
    void available()
    {
        QFETCH(QString, binary);
        QFETCH(bool, available);
        writeFile(m_dir.filePath(QStringLiteral("plain")), QFile::ReadOwner | QFile::WriteOwner);
        writeFile(m_dir.filePath(QStringLiteral("runnable")), QFile::ReadOwner | QFile::ExeOwner);
        AppSettings settings(paths());
        ScriptedFileChooser chooser;
        BinaryManager manager(&settings, paths(), &chooser, QUrl());
        QSignalSpy changed(&manager, &BinaryManager::changed);
        settings.setBinaryPath(binary.isEmpty() ? QUrl() : QUrl::fromLocalFile(m_dir.filePath(binary)));
        QCOMPARE(changed.count(), binary.isEmpty() ? 0 : 1);
        QCOMPARE(manager.isBinaryAvailable(), available);
    }

    void configuredFile_watchedWhileTheApplicationRuns()
    {
        // Configured through a link, so that a change of the file itself is seen only by a watch
        // on the configured path, and the removal of the link only by one on its directory.
        const auto rw = QFile::ReadOwner | QFile::WriteOwner;
        QVERIFY(QDir(m_dir.path()).mkdir(QStringLiteral("real")));
        const QString target = writeFile(m_dir.filePath(QStringLiteral("real/halvex")), rw | QFile::ExeOwner);
        const QString path = m_dir.filePath(QStringLiteral("halvex"));
        QVERIFY(QFile::link(target, path));
        AppSettings settings(paths());
        ScriptedFileChooser chooser;
        BinaryManager manager(&settings, paths(), &chooser, QUrl());
        settings.setBinaryPath(QUrl::fromLocalFile(path));
        QSignalSpy changed(&manager, &BinaryManager::changed);

        QVERIFY(QFile::remove(path));
        QTRY_VERIFY(!changed.isEmpty());
        QVERIFY(!manager.isBinaryAvailable());
        changed.clear();
        QVERIFY(QFile::link(target, path));
        QTRY_VERIFY(!changed.isEmpty());
        QVERIFY(manager.isBinaryAvailable());
        changed.clear();
        QVERIFY(QFile::setPermissions(target, rw));
        QTRY_VERIFY(!changed.isEmpty());
        QVERIFY(!manager.isBinaryAvailable());
    }
};

QTEST_GUILESS_MAIN(TestBinarySelection)
#include "tst_binaryselection.moc"
