// SPDX-License-Identifier: MIT
#include "TestHome.h"

#include <csignal>

TestHome::TestHome(HostNames hostNames)
    : m_paths(m_dir.filePath(QStringLiteral("state")))
    , m_hostNames(hostNames)
{
    TestSupport::writeFile(hostsFile(), "127.0.0.1 localhost\n");
    settings = std::make_unique<AppSettings>(m_paths);
    settings->setDataStorageLocation(QUrl::fromLocalFile(storage()));
    startApplication();
}

TestHome::TestHome(const QByteArray &settingsFile)
    : m_paths(m_dir.filePath(QStringLiteral("state")))
    , m_hostNames(HostNames::Off)
{
    TestSupport::writeFile(m_paths.settingsFile(), settingsFile);
    settings = std::make_unique<AppSettings>(m_paths);
    startApplication();
}

TestHome::~TestHome()
{
    endServers();
}

void TestHome::endServers()
{
    if (!instances)
        return;
    for (const HalvexInstance &instance : instances->instances()) {
        if (const auto pid = instances->processId(instance.id))
            ::kill(static_cast<pid_t>(*pid), SIGKILL);
    }
}

void TestHome::killApplication()
{
    importExport.reset();
    binary.reset();
    instances.reset();
    m_hostsQueue.reset();
}

void TestHome::startApplication()
{
    killApplication();
    if (m_hostNames == HostNames::InTestFile)
        m_hostsQueue = std::make_unique<LocalHostNames>(hostsFile(), &m_runner);
    instances = std::make_unique<InstanceManager>(settings.get(), m_paths.registryFile(), m_hostsQueue.get());
    binary = std::make_unique<BinaryManager>(settings.get(), m_paths, &chooser,
                                             QUrl(QStringLiteral("https://127.0.0.1:9/releases")));
    importExport = std::make_unique<ImportExportManager>(settings.get(), instances.get(), &chooser);
}

void TestHome::writeExecutable(const QString &path, bool executable)
{
    TestSupport::writeFile(path, "#!/bin/sh\nexit 0\n",
                           executable ? QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                      : QFile::ReadOwner | QFile::WriteOwner);
}

void TestHome::configureExecutable(const QString &path, bool executable)
{
    writeExecutable(path, executable);
    useExecutable(path);
}

HalvexInstance TestHome::add(const QString &name, qint64 port, const QString &token)
{
    instances->addInstance(HalvexInstance::create(name, token, port));
    return instances->instances().last();
}
