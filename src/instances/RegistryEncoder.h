// SPDX-License-Identifier: MIT
#pragma once

#include "core/FileContents.h"
#include "core/HalvexInstance.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QList>

#include <optional>
#include <thread>

namespace RegistryText {

// Where the text of one record lies in the bytes; an offset of -1 when it is not there.
struct Span
{
    qsizetype offset = -1;
    qsizetype length = 0;
};

// A record and where its text lies.
struct Encoded
{
    HalvexInstance record;
    Span span;
};

// The records of a file and where the text of each lies, in the same order.
struct Decoded
{
    QList<HalvexInstance> records;
    QList<Span> spans;
};

} // namespace RegistryText

// A list of thousands of them grows by moving its bytes, not each record.
Q_DECLARE_TYPEINFO(RegistryText::Encoded, Q_RELOCATABLE_TYPE);

// Encodes the registry file: a compact JSON array of the records. The file is rewritten whole
// after every change, though a change touches one record: the text of each record is kept where
// it lies in the last bytes written (or read), and reused while the record is unchanged. Reads
// back, quickly, the files it wrote.
class RegistryEncoder
{
public:
    QByteArray encode(const QList<HalvexInstance> &instances);
    // Takes the records as read from a file of these bytes, one per element of its array: the text
    // of every record that is exactly what encode() writes for it is reused by the next encode(),
    // so that the first save after a load does not encode every record again.
    void learn(const QByteArray &bytes, const QList<HalvexInstance> &records);
    // The records of a file exactly as encode() writes it, read far faster than a JSON parser
    // can; nothing for any other text, which the caller reads with a parser (and learns). Records
    // are as stored: they are not validated. Safe on any thread.
    static std::optional<RegistryText::Decoded> decode(QByteArrayView bytes);
    // learn() for the records and spans decode() read from these contents, done later: the caller
    // needs the records at once and the encoder only at the next save, while learning copies the
    // bytes and every record into memory fresh from the system. Learnt on a thread of its own once
    // learnInBackground() has been called (at once when it has), or else by the next call that
    // needs it. Until then, a change to the list of records makes a copy of the list.
    void learnDecoded(const FileContents &contents, const QList<HalvexInstance> &records,
                      const QList<RegistryText::Span> &spans);
    // From now on, what learnDecoded() takes is learnt on a thread of its own, and so is what it
    // took before and is not learnt yet. Any later call waits for that thread.
    void learnInBackground();
    // Returns once what learnDecoded() took is learnt: waits for the thread, or learns it here.
    void waitForLearning();

private:
    using Span = RegistryText::Span;
    using Encoded = RegistryText::Encoded;

    // The record that had this id in the last encode(), at or after the cursor, in list order;
    // nullptr when it had none.
    Encoded *previous(const QUuid &id, qsizetype &cursor);
    // Writes the records over the last bytes where that is cheap; false where it is not.
    bool encodeInPlace(const QList<HalvexInstance> &instances);
    void take(const QByteArray &bytes, const QList<HalvexInstance> &records);

    // What learnDecoded() took and no one has started to learn.
    struct Unlearnt
    {
        FileContents file;
        QList<HalvexInstance> records;
        QList<Span> spans;
    };
    void startLearning();
    void learnUnlearnt(const Unlearnt &unlearnt);
    void joinLearning();
    // Takes records whose text is known to lie where the spans say.
    void adopt(const QByteArray &bytes, const QList<HalvexInstance> &records, const QList<Span> &spans);
    void forget();

    QByteArray m_bytes;
    QList<Encoded> m_encoded;
    // Where each id was in m_encoded; built only when the list changed order or lost records.
    QHash<QUuid, qsizetype> m_positions;
    // Those of the save before last, kept for their memory.
    QByteArray m_spareBytes;
    QList<Encoded> m_spareEncoded;
    std::optional<Unlearnt> m_unlearnt;
    bool m_learnsInBackground = false;
    // Learning the records read, which writes all of the above: last, to be joined first.
    std::jthread m_learning;
};
