#pragma once

// A raw HTTP client over Boost.Asio for the service's tests, on Linux and
// under Wine alike: sends any bytes, reads answers with Beast's parser, and
// never waits longer than its guard (a test that would hang fails instead).

#include <boost/asio/connect.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/read.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/http/read.hpp>
#include <boost/beast/http/string_body.hpp>

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace quelvo::lookup::test {

namespace net = boost::asio;
namespace http = boost::beast::http;
using tcp = net::ip::tcp;

using Response = http::response<http::string_body>;

// Long enough never to be reached by a working service on a loaded machine.
inline constexpr std::chrono::seconds kGuard{30};

class HttpClient {
public:
    // from: the local address to connect from ("127.0.0.2"), or empty.
    explicit HttpClient(int port, const std::string& from = {}) : m_socket(m_io)
    {
        boost::system::error_code ec;
        m_socket.open(tcp::v4(), ec);
        if (!from.empty())
            m_socket.bind(tcp::endpoint(net::ip::make_address(from), 0), ec);
        if (!ec)
            m_socket.connect(tcp::endpoint(net::ip::make_address("127.0.0.1"), static_cast<unsigned short>(port)), ec);
        m_connected = !ec;
        EXPECT_FALSE(ec) << "connect: " << ec.message();
    }

    bool Connected() const { return m_connected; }
    tcp::socket& Socket() { return m_socket; }

    // Sends all bytes; false when the service closed the connection first or
    // the guard ran out.
    bool Send(std::string_view bytes, std::chrono::steady_clock::duration guard = kGuard)
    {
        boost::system::error_code result = net::error::timed_out;
        net::async_write(m_socket, net::buffer(bytes.data(), bytes.size()),
                         [&result](const boost::system::error_code& ec, std::size_t) { result = ec; });
        Run(guard);
        return !result;
    }

    void ShutdownSend()
    {
        boost::system::error_code ignored;
        m_socket.shutdown(tcp::socket::shutdown_send, ignored);
    }

    // The next answer; nothing when the connection ended first.
    std::optional<Response> Read(bool head = false)
    {
        http::response_parser<http::string_body> parser;
        parser.body_limit(64 * 1024 * 1024);
        parser.skip(head);
        boost::system::error_code result = net::error::timed_out;
        http::async_read(m_socket, m_buffer, parser,
                         [&result](const boost::system::error_code& ec, std::size_t) { result = ec; });
        Run(kGuard);
        if (result)
            return std::nullopt;
        return parser.release();
    }

    // Sends a GET for target with the given extra header lines and reads
    // the answer.
    std::optional<Response> Get(std::string_view target, std::string_view extra = {})
    {
        std::string request = "GET " + std::string(target) + " HTTP/1.1\r\nHost: 127.0.0.1\r\n";
        request += extra;
        request += "\r\n";
        if (!Send(request))
            return std::nullopt;
        return Read();
    }

    // Everything the service still sends, up to its closing the connection;
    // nullopt when it kept it open for the whole wait.
    std::optional<std::string> ReadToClose(std::chrono::steady_clock::duration wait = kGuard)
    {
        std::string got(static_cast<const char*>(m_buffer.data().data()), m_buffer.size());
        m_buffer.consume(m_buffer.size());
        bool ended = false;
        char chunk[4096];
        const auto deadline = std::chrono::steady_clock::now() + wait;
        while (!ended && std::chrono::steady_clock::now() < deadline) {
            boost::system::error_code result = net::error::timed_out;
            std::size_t n = 0;
            m_socket.async_read_some(net::buffer(chunk), [&](const boost::system::error_code& ec, std::size_t size) {
                result = ec;
                n = size;
            });
            Run(deadline - std::chrono::steady_clock::now());
            got.append(chunk, n);
            if (result == net::error::timed_out || result == net::error::operation_aborted)
                return std::nullopt;
            ended = static_cast<bool>(result);
        }
        if (!ended)
            return std::nullopt;
        return got;
    }

    // Runs the pending operation until it completes or the guard runs out;
    // then it is cancelled.
    void Run(std::chrono::steady_clock::duration guard)
    {
        m_io.restart();
        m_io.run_for(guard);
        if (!m_io.stopped()) {
            boost::system::error_code ignored;
            m_socket.cancel(ignored);
            m_io.restart();
            m_io.run();
        }
    }

private:
    net::io_context m_io;
    tcp::socket m_socket;
    boost::beast::flat_buffer m_buffer;
    bool m_connected = false;
};

}  // namespace quelvo::lookup::test
