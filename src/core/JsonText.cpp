// SPDX-License-Identifier: MIT
#include "JsonText.h"

#include <QString>

#include <algorithm>
#include <charconv>

namespace JsonText {

namespace {

// Characters that a JSON string holds as themselves, one byte each.
constexpr bool isPlain(char16_t c, Slashes slashes)
{
    return c >= 0x20 && c < 0x80 && c != u'"' && c != u'\\' && (c != u'/' || slashes == Slashes::Plain);
}

} // namespace

void appendString(QByteArray &out, QStringView text, Slashes slashes)
{
    static constexpr char hex[] = "0123456789abcdef";
    const auto plain = [slashes](char16_t c) { return isPlain(c, slashes); };
    // Names and tokens are nearly always plain ASCII: then the text is copied in one pass.
    if (std::all_of(text.begin(), text.end(), [&plain](QChar c) { return plain(c.unicode()); })) {
        const qsizetype start = out.size();
        out.resize(start + text.size() + 2);
        char *target = out.data() + start;
        *target++ = '"';
        for (const QChar c : text)
            *target++ = static_cast<char>(c.unicode());
        *target = '"';
        return;
    }
    out += '"';
    qsizetype runStart = -1; // start of a run of non-ASCII characters, written as UTF-8 at once
    const auto endRun = [&](qsizetype at) {
        if (runStart >= 0)
            out += text.sliced(runStart, at - runStart).toUtf8();
        runStart = -1;
    };
    const auto appendEscape = [&out](char16_t c) {
        out += "\\u";
        for (int shift = 12; shift >= 0; shift -= 4)
            out += hex[(c >> shift) & 0xF];
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c >= 0x80) {
            // UTF-8 cannot hold a lone surrogate, and the reader drops a byte order mark at the
            // start of a string: both are written as escapes, which read back unchanged.
            const bool pair =
                QChar::isHighSurrogate(c) && i + 1 < text.size() && QChar::isLowSurrogate(text[i + 1].unicode());
            if (pair || (!QChar::isSurrogate(c) && c != 0xFEFF)) {
                if (runStart < 0)
                    runStart = i;
                if (pair)
                    ++i;
                continue;
            }
            endRun(i);
            appendEscape(c);
            continue;
        }
        endRun(i);
        switch (c) {
        case u'"':
            out += "\\\"";
            break;
        case u'\\':
            out += "\\\\";
            break;
        case u'/':
            out += slashes == Slashes::Escaped ? "\\/" : "/";
            break;
        case u'\b':
            out += "\\b";
            break;
        case u'\f':
            out += "\\f";
            break;
        case u'\n':
            out += "\\n";
            break;
        case u'\r':
            out += "\\r";
            break;
        case u'\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20)
                appendEscape(c);
            else
                out += static_cast<char>(c);
        }
    }
    endRun(text.size());
    out += '"';
}

void appendNumber(QByteArray &out, double value)
{
    char buffer[longestNumber];
    out.append(buffer, writeNumber(buffer, value) - buffer);
}

char *writeNumber(char *out, double value)
{
    // The same shortest round-trip text as QByteArray::number(value, 'g', shortest), without its
    // allocations: the registry writes two dates per instance. No double needs more room.
    return std::to_chars(out, out + longestNumber, value).ptr;
}

char *writePlainString(char *out, QStringView text)
{
    const char16_t *characters = text.utf16();
    const qsizetype size = text.size();
    *out++ = '"';
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t c = characters[i];
        if (!isPlain(c, Slashes::Plain))
            return nullptr;
        out[i] = static_cast<char>(c);
    }
    out[size] = '"';
    return out + size + 1;
}

} // namespace JsonText
