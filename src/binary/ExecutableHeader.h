// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QSysInfo>

// The first bytes of a program file, read the same way by the launch checks and the installer:
// which executable format it is, for which processor, word size and byte order, and whether it
// can run on the machine this application runs on.
class ExecutableHeader
{
public:
    enum class Format { Other, Elf, MachO, UniversalMachO };

    // What an executable is built for.
    struct Machine
    {
        Format format = Format::Other;
        int bits = 0;
        QSysInfo::Endian byteOrder = QSysInfo::LittleEndian;
        quint32 cpu = 0; // ELF e_machine or Mach-O cputype

        friend bool operator==(const Machine &, const Machine &) = default;
    };

    explicit ExecutableHeader(QByteArrayView head);

    // Reads the header of the file at path. Only a regular file is opened, and without blocking,
    // so that a named pipe can never stall the caller; anything else, and a file that cannot be
    // read, has format Other and says why in description().
    static ExecutableHeader read(const QString &path);

    // This application's own format, word size, byte order and processor.
    static Machine host();

    Format format() const { return m_format; }
    // What a thin executable is built for; only the format is set for anything else.
    Machine machine() const { return m_machine; }
    // The architectures the header names, separated by spaces ("x86_64", "x86_64 arm64"); empty
    // for anything that is not an ELF or Mach-O executable.
    QString architectures() const;
    // What the file is, for messages: "ELF for aarch64", "universal Mach-O for x86_64 arm64",
    // "text beginning "#!/bin/sh"", "an empty file".
    QString description() const;

    // A thin executable built for exactly that machine. Universal files are not taken: the
    // releases are thin, and they were never accepted.
    bool runsOn(const Machine &machine) const;
    bool runsHere() const { return runsOn(host()); }

private:
    ExecutableHeader() = default;
    static ExecutableHeader unreadable(const QString &why);
    void parseElf();
    void parseMachO();
    void parseUniversal();
    QString contentDescription() const;

    QByteArray m_head;
    QString m_unreadable;
    Format m_format = Format::Other;
    Machine m_machine;
    QList<quint32> m_universalCpus;
};
