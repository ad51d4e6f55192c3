// SPDX-License-Identifier: MIT
#include "RegistryEncoder.h"

#include "core/ReferenceDate.h"

#include <QVarLengthArray>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <system_error>
#include <utility>

namespace {

// The text of a typical record, with room to spare: the output is made this large at once.
constexpr qsizetype typicalRecord = 224;

// The end of the JSON object whose opening brace is at from, or the end of the text. Only strings
// and nesting are followed: the text is already known to be valid JSON.
qsizetype objectEnd(QByteArrayView text, qsizetype from)
{
    int depth = 0;
    for (qsizetype i = from; i < text.size(); ++i) {
        switch (text[i]) {
        case '"':
            // To the closing quote, skipping escaped characters.
            for (++i; i < text.size() && text[i] != '"'; ++i) {
                if (text[i] == '\\')
                    ++i;
            }
            break;
        case '[':
        case '{':
            ++depth;
            break;
        case ']':
        case '}':
            --depth;
            break;
        }
        if (depth == 0)
            return i + 1;
    }
    return text.size();
}

// Reads a record as appendCompactJson() writes it, moving text past it. Strings are taken only
// when every character is plain ASCII, numbers as the shortest text of their value; anything else
// is refused, and the caller checks that the record is written back as the same text.
class RecordReader
{
public:
    explicit RecordReader(QByteArrayView &text)
        : m_text(text)
    {}

    std::optional<HalvexInstance> record()
    {
        HalvexInstance record;
        const bool ok = literal("{\"authToken\":") && string(record.authToken) && literal(",\"createdAt\":") &&
                        number(record.createdAt) && literal(",\"id\":\"") && uuid(record.id) &&
                        literal("\",\"isRunning\":") && boolean(record.isRunning) && literal(",\"name\":") &&
                        string(record.name) && literal(",\"port\":") && number(record.port) &&
                        literal(",\"updatedAt\":") && number(record.updatedAt) && literal("}");
        return ok ? std::optional(record) : std::nullopt;
    }

private:
    bool literal(QByteArrayView expected)
    {
        if (!m_text.startsWith(expected))
            return false;
        m_text = m_text.sliced(expected.size());
        return true;
    }
    bool string(QString &out)
    {
        if (!literal("\""))
            return false;
        for (qsizetype i = 0; i < m_text.size(); ++i) {
            const char c = m_text[i];
            if (c == '"') {
                out = QString::fromLatin1(m_text.first(i));
                m_text = m_text.sliced(i + 1);
                return true;
            }
            if (c == '\\' || c < 0x20 || c >= 0x7f)
                return false;
        }
        return false;
    }
    template<typename Number>
    bool number(Number &out)
    {
        const auto [end, error] = std::from_chars(m_text.begin(), m_text.end(), out);
        if (error != std::errc() || end == m_text.begin())
            return false;
        m_text = m_text.sliced(end - m_text.begin());
        return true;
    }
    bool uuid(QUuid &out)
    {
        constexpr qsizetype length = 36;
        if (m_text.size() < length)
            return false;
        out = QUuid::fromString(QLatin1StringView(m_text.first(length)));
        m_text = m_text.sliced(length);
        return true;
    }
    bool boolean(bool &out)
    {
        out = literal("true");
        return out || literal("false");
    }

    QByteArrayView &m_text;
};

// Every save asks these of every record, so they are the cheapest that answer: the ids as bytes,
// and the texts only when they are not the very same strings, as they are when nothing touched
// the record since its text was written.
bool sameId(const QUuid &a, const QUuid &b)
{
    return std::memcmp(&a, &b, sizeof(QUuid)) == 0;
}

// Whether a record with the same id is what it was when its text was written.
bool unchanged(const HalvexInstance &known, const HalvexInstance &now)
{
    const auto same = [](const QString &a, const QString &b) { return a.isSharedWith(b) || a == b; };
    return known.port == now.port && known.isRunning == now.isRunning && known.createdAt == now.createdAt &&
           known.updatedAt == now.updatedAt && same(known.name, now.name) && same(known.authToken, now.authToken);
}

// Puts text where length bytes lay from offset, moving what follows once.
void replaceSpan(QByteArray &bytes, qsizetype offset, qsizetype length, QByteArrayView text)
{
    const qsizetype end = offset + length;
    const qsizetype tail = bytes.size() - end;
    const qsizetype grown = text.size() - length;
    if (grown > 0)
        bytes.resize(bytes.size() + grown);
    char *data = bytes.data();
    std::memmove(data + offset + text.size(), data + end, static_cast<size_t>(tail));
    std::memcpy(data + offset, text.data(), static_cast<size_t>(text.size()));
    if (grown < 0)
        bytes.resize(bytes.size() + grown);
}

} // namespace

RegistryEncoder::Encoded *RegistryEncoder::previous(const QUuid &id, qsizetype &cursor)
{
    // A save follows an edit, an add at the end or a delete: the list is walked alongside the last
    // one, and looked up only where the two part.
    for (const qsizetype next : {cursor, cursor + 1}) {
        if (next < m_encoded.size() && sameId(m_encoded.at(next).record.id, id)) {
            cursor = next + 1;
            return &m_encoded[next];
        }
    }
    if (m_positions.isEmpty()) {
        m_positions.reserve(m_encoded.size());
        for (qsizetype i = 0; i < m_encoded.size(); ++i)
            m_positions.insert(m_encoded.at(i).record.id, i);
    }
    const auto found = m_positions.constFind(id);
    if (found == m_positions.cend())
        return nullptr;
    cursor = *found + 1;
    return &m_encoded[*found];
}

bool RegistryEncoder::encodeInPlace(const QList<HalvexInstance> &instances)
{
    // Only for records in the same order, a few of them changed, all of them where the last bytes
    // hold them, and last bytes that nobody else holds.
    constexpr qsizetype mostChanged = 8;
    if (instances.size() != m_encoded.size() || m_bytes.isEmpty() || !m_bytes.isDetached())
        return false;
    QVarLengthArray<qsizetype, mostChanged> changed;
    for (qsizetype i = 0; i < instances.size(); ++i) {
        const Encoded &known = m_encoded.at(i);
        if (known.span.offset < 0 || !sameId(known.record.id, instances.at(i).id))
            return false;
        if (!unchanged(known.record, instances.at(i))) {
            if (changed.size() == mostChanged)
                return false;
            changed.append(i);
        }
    }
    QByteArray text;
    qsizetype shift = 0; // how far the records from next on have moved
    qsizetype next = 0;
    for (const qsizetype i : changed) {
        for (; next <= i; ++next)
            m_encoded[next].span.offset += shift;
        Encoded &known = m_encoded[i];
        text.resize(0);
        instances.at(i).appendCompactJson(text);
        replaceSpan(m_bytes, known.span.offset, known.span.length, text);
        shift += text.size() - known.span.length;
        known.span.length = text.size();
        known.record = instances.at(i);
    }
    for (; next < m_encoded.size(); ++next)
        m_encoded[next].span.offset += shift;
    return true;
}

QByteArray RegistryEncoder::encode(const QList<HalvexInstance> &instances)
{
    waitForLearning();
    // An edit or a change of run state rewrites the record where it lies: nothing else is copied,
    // and no memory is made afresh.
    if (encodeInPlace(instances))
        return m_bytes;
    // Memory fresh from the system costs a fault per page, as much as writing the file: the output
    // and the list go where those of the save before last were.
    QByteArray bytes = std::exchange(m_spareBytes, {});
    if (bytes.isDetached())
        bytes.resize(0);
    else
        bytes = QByteArray();
    bytes.reserve(std::max(m_bytes.size(), instances.size() * typicalRecord) + 2);
    bytes += '[';
    QList<Encoded> encoded = std::exchange(m_spareEncoded, {});
    encoded.reserve(instances.size());
    qsizetype cursor = 0;
    qsizetype taken = 0;
    // Text of the last bytes that is still to be copied, and the size of bytes once it is.
    qsizetype runFrom = -1;
    qsizetype runTo = -1;
    qsizetype size = bytes.size();
    const auto copyRun = [&] {
        if (runFrom >= 0)
            bytes.append(m_bytes.constData() + runFrom, runTo - runFrom);
        runFrom = -1;
    };
    for (const HalvexInstance &instance : instances) {
        const bool first = encoded.isEmpty();
        // Once every last record is taken, what follows is new: nothing to look up.
        Encoded *known = taken < m_encoded.size() ? previous(instance.id, cursor) : nullptr;
        Span span;
        if (known) {
            // Taken: a second record with this id (which nothing makes) gets text of its own.
            span = std::exchange(known->span, Span{});
            if (span.offset >= 0)
                ++taken;
        }
        if (span.offset >= 0 && unchanged(known->record, instance)) {
            if (runFrom >= 0 && span.offset == runTo + 1) {
                // The next record in the last bytes too, past the comma between them.
                runTo = span.offset + span.length;
                size += 1 + span.length;
            } else {
                copyRun();
                if (!first)
                    bytes += ',';
                runFrom = span.offset;
                runTo = span.offset + span.length;
                size = bytes.size() + span.length;
            }
            encoded.append({std::move(known->record), {size - span.length, span.length}});
            continue;
        }
        copyRun();
        if (!first)
            bytes += ',';
        const qsizetype offset = bytes.size();
        instance.appendCompactJson(bytes);
        encoded.append({instance, {offset, bytes.size() - offset}});
    }
    copyRun();
    bytes += ']';
    m_spareBytes = std::exchange(m_bytes, bytes);
    m_encoded.swap(encoded);
    encoded.clear(); // records that are gone are let go
    m_spareEncoded = std::move(encoded);
    m_positions.clear();
    return bytes;
}

void RegistryEncoder::learn(const QByteArray &bytes, const QList<HalvexInstance> &records)
{
    joinLearning();
    m_unlearnt.reset();
    take(bytes, records);
}

void RegistryEncoder::take(const QByteArray &bytes, const QList<HalvexInstance> &records)
{
    forget();
    m_bytes = bytes;
    m_encoded.reserve(records.size());
    QByteArray text;
    qsizetype position = bytes.indexOf('[') + 1;
    for (const HalvexInstance &record : records) {
        while (position > 0 && position < bytes.size() && bytes.at(position) != '{')
            ++position; // past a comma and white space
        if (position <= 0 || position >= bytes.size()) {
            forget(); // not an array of objects
            return;
        }
        text.resize(0);
        record.appendCompactJson(text);
        // A file this encoder wrote holds each record's text as is; any other text is measured,
        // and written anew at the next save.
        if (QByteArrayView(bytes).sliced(position).startsWith(text)) {
            m_encoded.append({record, {position, text.size()}});
            position += text.size();
        } else {
            m_encoded.append({record, {}});
            position = objectEnd(bytes, position);
        }
    }
}

std::optional<RegistryText::Decoded> RegistryEncoder::decode(QByteArrayView bytes)
{
    QByteArrayView text = bytes;
    if (!text.startsWith('['))
        return std::nullopt;
    text = text.sliced(1);
    RegistryText::Decoded decoded;
    QList<HalvexInstance> &records = decoded.records;
    // Room for as many records as the bytes can hold (none is shorter than its keys, its id and
    // the shortest values), so that thousands are not moved again and again as the list grows.
    constexpr qsizetype shortestRecord = 126;
    records.reserve(bytes.size() / shortestRecord + 1);
    decoded.spans.reserve(records.capacity());
    QByteArray written;
    RecordReader reader(text);
    while (!text.isEmpty() && text.front() != ']') {
        if (!records.isEmpty()) {
            if (text.front() != ',')
                return std::nullopt;
            text = text.sliced(1);
        }
        const QByteArrayView from = text;
        auto record = reader.record();
        // Dates out of range are refused by the JSON parser, with the reason.
        if (!record || !ReferenceDate::isInRange(record->createdAt) || !ReferenceDate::isInRange(record->updatedAt))
            return std::nullopt;
        // Only the text encode() writes for the record is known to read as the JSON parser reads it.
        written.resize(0);
        record->appendCompactJson(written);
        if (from.first(text.data() - from.data()) != written)
            return std::nullopt;
        records.append(std::move(*record));
        decoded.spans.append({from.data() - bytes.data(), written.size()});
    }
    if (text != "]")
        return std::nullopt;
    return decoded;
}

void RegistryEncoder::learnDecoded(const FileContents &contents, const QList<HalvexInstance> &records,
                                   const QList<Span> &spans)
{
    // Whatever was read before is superseded: it is not learnt.
    joinLearning();
    m_unlearnt = Unlearnt{contents, records, spans};
    if (m_learnsInBackground)
        startLearning();
}

void RegistryEncoder::learnInBackground()
{
    m_learnsInBackground = true;
    if (m_unlearnt)
        startLearning();
}

void RegistryEncoder::startLearning()
{
    try {
        // All are let go of on the thread as soon as it is done: the list is the caller's alone
        // again, and the file is unmapped.
        m_learning =
            std::jthread([this, unlearnt = *m_unlearnt]() mutable { learnUnlearnt(std::exchange(unlearnt, {})); });
        m_unlearnt.reset();
    } catch (const std::system_error &) {
        // No thread to be had: learnt by the next call that needs it.
    }
}

void RegistryEncoder::learnUnlearnt(const Unlearnt &unlearnt)
{
    adopt(unlearnt.file.bytes().toByteArray(), unlearnt.records, unlearnt.spans);
}

void RegistryEncoder::adopt(const QByteArray &bytes, const QList<HalvexInstance> &records, const QList<Span> &spans)
{
    forget();
    m_bytes = bytes;
    m_encoded.reserve(records.size());
    for (qsizetype i = 0; i < records.size(); ++i)
        m_encoded.append({records.at(i), spans.at(i)});
}

void RegistryEncoder::waitForLearning()
{
    joinLearning();
    if (m_unlearnt)
        learnUnlearnt(*std::exchange(m_unlearnt, std::nullopt));
}

void RegistryEncoder::joinLearning()
{
    if (m_learning.joinable())
        m_learning.join();
}

void RegistryEncoder::forget()
{
    m_bytes.clear();
    m_spareBytes.clear();
    m_spareEncoded.clear();
    m_encoded.clear();
    m_positions.clear();
}
