#pragma once

// A loopback stand-in for the application lookup server.

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>

namespace quelvo::app::test {

// Answers every GET with a small page titled after the request's number, and
// invites caching so that a cached copy would show.
class LookupServer : public QObject {
public:
    LookupServer()
    {
        QObject::connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection())
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { Serve(socket); });
        });
        m_server.listen(QHostAddress::LocalHost);
    }
    quint16 Port() const { return m_server.serverPort(); }
    QStringList lookups;  // request targets under /ext/, in arrival order

private:
    void Serve(QTcpSocket* socket)
    {
        m_pending[socket] += socket->readAll();
        if (!m_pending[socket].contains("\r\n\r\n"))
            return;
        const QList<QByteArray> requestLine = m_pending[socket].left(m_pending[socket].indexOf("\r\n")).split(' ');
        m_pending.remove(socket);
        const QString target = requestLine.value(1);
        QByteArray body = "<html><head><title>none</title></head><body>none</body></html>";
        if (requestLine.value(0) == "GET" && target.startsWith("/ext/")) {
            lookups << target;
            body = "<html><head><title>Lookup " + QByteArray::number(lookups.size())
                   + "</title></head><body>Applications</body></html>";
        }
        socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nCache-Control: max-age=3600\r\nContent-Length: "
                      + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
        socket->disconnectFromHost();
    }

    QTcpServer m_server;
    QHash<QTcpSocket*, QByteArray> m_pending;
};

}  // namespace quelvo::app::test
