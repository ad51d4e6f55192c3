// SPDX-License-Identifier: MIT
#pragma once

#include "HttpRequest.h"

// Cuts HTTP/1.x requests with Content-Length bodies out of a byte stream. Strict where leniency would let a
// request be read two ways, and bounded: the head and the body each have a size limit, checked before the bytes
// pile up.
class HttpRequestParser
{
public:
    static constexpr qsizetype MaxHeadSize = 16 * 1024;
    static constexpr qsizetype MaxBodySize = 8 * 1024 * 1024;
    static constexpr int MaxHeaderCount = 100;

    enum class Status { NeedMore, Complete, Failed };

    void append(const QByteArray &bytes) { m_buffer.append(bytes); }

    // Complete: takeRequest() has the next request. Failed: errorStatus() has the status to answer with; the
    // stream cannot be trusted any further.
    Status parse();
    HttpRequest takeRequest();
    int errorStatus() const { return m_errorStatus; }

    // Whether part of a request has arrived but not all of it.
    bool hasPartialRequest() const { return m_headParsed || !m_buffer.isEmpty(); }

private:
    Status fail(int status);
    bool parseHead(const QByteArray &head);
    bool parseRequestLine(const QByteArray &line);
    bool parseHeaderLine(const QByteArray &line);
    bool applyFraming();

    QByteArray m_buffer;
    HttpRequest m_request;
    bool m_headParsed = false;
    qsizetype m_bodyLength = 0;
    int m_minorVersion = 1;
    int m_errorStatus = 0;
};
