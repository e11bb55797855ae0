#include "feed/httprequest.h"

#include <QByteArrayView>

namespace quorvel::feed {
namespace {

bool isTokenChar(char c)
{
    // RFC 9110 tchar
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
        QByteArrayView("!#$%&'*+-.^_`|~").contains(c);
}

QByteArray queryValue(QByteArrayView query, QByteArrayView name)
{
    qsizetype from = 0;
    while (from <= query.size()) {
        qsizetype end = query.indexOf('&', from);
        if (end < 0)
            end = query.size();
        const QByteArrayView pair = query.sliced(from, end - from);
        const qsizetype eq = pair.indexOf('=');
        if (eq >= 0 && pair.first(eq) == name)
            // '+' is taken as itself: a token may hold it, and a query is not a form
            return QByteArray::fromPercentEncoding(pair.sliced(eq + 1).toByteArray());
        from = end + 1;
    }
    return {};
}

bool isPort(QByteArrayView text)
{
    if (text.isEmpty() || text.size() > 5)
        return false;
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

// Splits "name:port", "[v6]:port" or a name alone; false when the port is not digits.
bool splitHostPort(QByteArrayView hostPort, QByteArrayView* name, QByteArrayView* port)
{
    *port = {};
    if (hostPort.startsWith('[')) {
        const qsizetype close = hostPort.indexOf(']');
        if (close < 0)
            return false;
        *name = hostPort.first(close + 1);
        const QByteArrayView rest = hostPort.sliced(close + 1);
        if (rest.isEmpty())
            return true;
        if (!rest.startsWith(':'))
            return false;
        *port = rest.sliced(1);
        return isPort(*port);
    }
    const qsizetype colon = hostPort.indexOf(':');
    if (colon < 0) {
        *name = hostPort;
        return !name->isEmpty();
    }
    *name = hostPort.first(colon);
    *port = hostPort.sliced(colon + 1);
    return !name->isEmpty() && isPort(*port);
}

bool isDottedLoopback(QByteArrayView name)
{
    int parts = 0;
    qsizetype from = 0;
    while (from <= name.size()) {
        qsizetype end = name.indexOf('.', from);
        if (end < 0)
            end = name.size();
        const QByteArrayView part = name.sliced(from, end - from);
        if (part.isEmpty() || part.size() > 3)
            return false;
        int value = 0;
        for (char c : part) {
            if (c < '0' || c > '9')
                return false;
            value = value * 10 + (c - '0');
        }
        if (value > 255 || (parts == 0 && value != 127))
            return false;
        ++parts;
        from = end + 1;
    }
    return parts == 4;
}

bool containsWordIgnoringCase(QByteArrayView list, QByteArrayView word)
{
    qsizetype from = 0;
    while (from <= list.size()) {
        qsizetype end = list.indexOf(',', from);
        if (end < 0)
            end = list.size();
        if (list.sliced(from, end - from).trimmed().compare(word, Qt::CaseInsensitive) == 0)
            return true;
        from = end + 1;
    }
    return false;
}

} // namespace

RequestHead parseRequestHead(const QByteArray& received)
{
    RequestHead head;
    const qsizetype end = received.indexOf("\r\n\r\n");
    // Lines end in CR LF: a bare LF is refused at once rather than waited on.
    const qsizetype looked = end < 0 ? received.size() : end;
    for (qsizetype i = received.indexOf('\n'); i >= 0 && i < looked; i = received.indexOf('\n', i + 1))
        if (i == 0 || received[i - 1] != '\r') {
            head.status = RequestHead::Status::Malformed;
            return head;
        }
    if (end < 0) {
        head.status =
            received.size() >= kMaxRequestBytes ? RequestHead::Status::TooLarge : RequestHead::Status::Incomplete;
        return head;
    }
    head.length = end + 4;
    if (head.length > kMaxRequestBytes) {
        head.status = RequestHead::Status::TooLarge;
        return head;
    }
    head.status = RequestHead::Status::Malformed;

    const QByteArrayView text(received.constData(), end);
    qsizetype lineEnd = text.indexOf("\r\n");
    if (lineEnd < 0)
        lineEnd = text.size();
    const QByteArrayView requestLine = text.first(lineEnd);
    const qsizetype sp1 = requestLine.indexOf(' ');
    const qsizetype sp2 = requestLine.lastIndexOf(' ');
    if (sp1 <= 0 || sp2 <= sp1 + 1)
        return head;
    const QByteArrayView method = requestLine.first(sp1);
    const QByteArrayView target = requestLine.sliced(sp1 + 1, sp2 - sp1 - 1);
    const QByteArrayView version = requestLine.sliced(sp2 + 1);
    for (char c : method)
        if (!isTokenChar(c))
            return head;
    if (version != "HTTP/1.1" && version != "HTTP/1.0")
        return head;
    if (!target.startsWith('/'))
        return head;
    for (char c : target)
        if (c <= ' ' || c == 0x7f)
            return head;
    const qsizetype question = target.indexOf('?');
    head.method = method.toByteArray();
    head.path = (question < 0 ? target : target.first(question)).toByteArray();
    if (question >= 0)
        head.queryToken = queryValue(target.sliced(question + 1), "token");

    qint64 contentLength = 0;
    qsizetype from = lineEnd + 2;
    while (from < text.size()) {
        qsizetype next = text.indexOf("\r\n", from);
        if (next < 0)
            next = text.size();
        const QByteArrayView line = text.sliced(from, next - from);
        from = next + 2;
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            return head;
        const QByteArrayView name = line.first(colon);
        for (char c : name)
            if (!isTokenChar(c))
                return head;
        const QByteArrayView value = line.sliced(colon + 1).trimmed();
        if (name.compare("Authorization", Qt::CaseInsensitive) == 0) {
            if (value.size() > 7 && value.first(7).compare("Bearer ", Qt::CaseInsensitive) == 0)
                head.bearer = value.sliced(7).trimmed().toByteArray();
        } else if (name.compare("Host", Qt::CaseInsensitive) == 0) {
            head.host = value.toByteArray();
            ++head.hosts;
        } else if (name.compare("Origin", Qt::CaseInsensitive) == 0) {
            head.origin = value.toByteArray();
            ++head.origins;
        } else if (name.compare("Upgrade", Qt::CaseInsensitive) == 0) {
            head.webSocket = head.webSocket || containsWordIgnoringCase(value, "websocket");
        } else if (name.compare("Content-Length", Qt::CaseInsensitive) == 0) {
            bool ok = false;
            contentLength = value.toByteArray().toLongLong(&ok);
            if (!ok || contentLength < 0)
                return head;
        } else if (name.compare("Transfer-Encoding", Qt::CaseInsensitive) == 0) {
            // a body of unknown length: the feed reads no bodies, so it cannot tell where
            // the next request would begin
            return head;
        }
    }
    if (contentLength > kMaxRequestBytes - head.length) {
        head.status = RequestHead::Status::TooLarge;
        return head;
    }
    head.status = RequestHead::Status::Complete;
    return head;
}

bool isLoopbackHost(QByteArrayView host)
{
    QByteArrayView name, port;
    if (!splitHostPort(host, &name, &port))
        return false;
    return name.compare("localhost", Qt::CaseInsensitive) == 0 || name == "[::1]" || isDottedLoopback(name);
}

bool originIsHost(QByteArrayView origin, QByteArrayView host)
{
    QByteArrayView defaultPort;
    if (origin.startsWith("http://")) {
        origin = origin.sliced(7);
        defaultPort = "80";
    } else if (origin.startsWith("https://")) {
        origin = origin.sliced(8);
        defaultPort = "443";
    } else {
        return false; // "null", or no page of the web
    }
    QByteArrayView originName, originPort, hostName, hostPort;
    if (!splitHostPort(origin, &originName, &originPort) || !splitHostPort(host, &hostName, &hostPort))
        return false;
    if (originPort.isEmpty())
        originPort = defaultPort;
    if (hostPort.isEmpty())
        hostPort = "80";
    return originName.compare(hostName, Qt::CaseInsensitive) == 0 && originPort.toInt() == hostPort.toInt();
}

bool tokenMatches(const QByteArray& given, const QByteArray& expected)
{
    // every byte of the expected token is looked at whatever was given
    unsigned difference = unsigned(given.size() ^ expected.size());
    for (qsizetype i = 0; i < expected.size(); ++i) {
        const char g = i < given.size() ? given[i] : 0;
        difference |= unsigned(uchar(g) ^ uchar(expected[i]));
    }
    return difference == 0 && !expected.isEmpty();
}

} // namespace quorvel::feed
