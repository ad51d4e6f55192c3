// SPDX-License-Identifier: MIT
#include "HttpRequestParser.h"

#include <QByteArrayView>

namespace {
bool isTokenChar(char c)
{
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
        return true;
    return QByteArrayView("!#$%&'*+-.^_`|~").contains(c);
}

bool isToken(QByteArrayView text)
{
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), isTokenChar);
}

bool isDigits(QByteArrayView text)
{
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Position of the blank line that ends the head, and where the body starts; -1 while it has not arrived.
std::pair<qsizetype, qsizetype> findHeadEnd(const QByteArray &buffer)
{
    const qsizetype crlf = buffer.indexOf("\n\r\n");
    const qsizetype lf = buffer.indexOf("\n\n");
    if (crlf >= 0 && (lf < 0 || crlf < lf))
        return {crlf, crlf + 3};
    if (lf >= 0)
        return {lf, lf + 2};
    return {-1, -1};
}
} // namespace

HttpRequestParser::Status HttpRequestParser::parse()
{
    if (m_errorStatus != 0)
        return Status::Failed;

    if (!m_headParsed) {
        // Empty lines ahead of a request line are allowed, and some clients send one after a body.
        qsizetype skip = 0;
        while (skip < m_buffer.size() && (m_buffer[skip] == '\r' || m_buffer[skip] == '\n'))
            ++skip;
        m_buffer.remove(0, skip);

        const auto [headEnd, bodyStart] = findHeadEnd(m_buffer);
        if (headEnd < 0)
            return m_buffer.size() > MaxHeadSize ? fail(431) : Status::NeedMore;
        if (headEnd > MaxHeadSize)
            return fail(431);
        m_request = HttpRequest();
        if (!parseHead(m_buffer.left(headEnd)))
            return Status::Failed;
        m_buffer.remove(0, bodyStart);
        m_headParsed = true;
    }

    if (m_buffer.size() < m_bodyLength)
        return Status::NeedMore;
    m_request.body = m_buffer.left(m_bodyLength);
    m_buffer.remove(0, m_bodyLength);
    m_headParsed = false;
    return Status::Complete;
}

HttpRequest HttpRequestParser::takeRequest()
{
    return std::exchange(m_request, HttpRequest());
}

HttpRequestParser::Status HttpRequestParser::fail(int status)
{
    m_errorStatus = status;
    m_buffer.clear();
    return Status::Failed;
}

bool HttpRequestParser::parseHead(const QByteArray &head)
{
    QList<QByteArray> lines = head.split('\n');
    for (QByteArray &line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
    }
    if (!parseRequestLine(lines.first()))
        return false;
    if (lines.size() - 1 > MaxHeaderCount) {
        fail(431);
        return false;
    }
    for (qsizetype i = 1; i < lines.size(); ++i) {
        if (!parseHeaderLine(lines.at(i)))
            return false;
    }
    return applyFraming();
}

bool HttpRequestParser::parseRequestLine(const QByteArray &line)
{
    const QList<QByteArray> parts = line.split(' ');
    if (parts.size() != 3 || !isToken(parts.at(0))) {
        fail(400);
        return false;
    }
    const QByteArray &target = parts.at(1);
    const bool printable = std::all_of(target.begin(), target.end(), [](char c) { return c > ' ' && c < 0x7f; });
    if (!target.startsWith('/') || !printable) {
        fail(400);
        return false;
    }
    const QByteArray &version = parts.at(2);
    if (version.size() != 8 || !version.startsWith("HTTP/") || version[6] != '.' || !isDigits(version.mid(5, 1)) ||
        !isDigits(version.mid(7, 1))) {
        fail(400);
        return false;
    }
    if (version[5] != '1') {
        fail(505);
        return false;
    }
    m_minorVersion = version[7] - '0';
    m_request.method = parts.at(0);
    const qsizetype query = target.indexOf('?');
    m_request.path = query < 0 ? target : target.left(query);
    return true;
}

bool HttpRequestParser::parseHeaderLine(const QByteArray &line)
{
    // A continuation line (starting with a blank) is obsolete folding; a blank before the colon is forbidden.
    const qsizetype colon = line.indexOf(':');
    if (colon <= 0 || !isToken(QByteArrayView(line).first(colon))) {
        fail(400);
        return false;
    }
    const QByteArray value = line.mid(colon + 1).trimmed();
    const bool clean = std::all_of(value.begin(), value.end(),
                                   [](char c) { return c == '\t' || static_cast<unsigned char>(c) >= ' '; });
    if (!clean || value.contains('\x7f')) {
        fail(400);
        return false;
    }
    m_request.headers.append({line.left(colon).toLower(), value});
    return true;
}

bool HttpRequestParser::applyFraming()
{
    bool hasHost = false;
    bool hasLength = false;
    bool close = m_minorVersion == 0;
    m_bodyLength = 0;
    for (const auto &[name, value] : std::as_const(m_request.headers)) {
        if (name == "transfer-encoding") {
            // Only Content-Length framing is spoken here; guessing at the rest invites smuggled requests.
            fail(501);
            return false;
        }
        if (name == "host") {
            hasHost = true;
        } else if (name == "content-length") {
            if (!isDigits(value) || value.size() > 18 || (hasLength && value.toLongLong() != m_bodyLength)) {
                fail(400);
                return false;
            }
            hasLength = true;
            m_bodyLength = value.toLongLong();
        } else if (name == "connection") {
            for (const QByteArray &option : value.split(',')) {
                const QByteArray token = option.trimmed().toLower();
                if (token == "close")
                    close = true;
                else if (token == "keep-alive" && m_minorVersion == 0)
                    close = false;
            }
        }
    }
    if (m_minorVersion >= 1 && !hasHost) {
        fail(400);
        return false;
    }
    if (m_bodyLength > MaxBodySize) {
        fail(413);
        return false;
    }
    m_request.keepAlive = !close;
    return true;
}
