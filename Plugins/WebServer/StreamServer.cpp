#include "StreamServer.h"

#include "Logger/Log.h"

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>
#include <chrono>
#include <list>
#include <optional>
#include <thread>

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;

namespace {

constexpr std::size_t MaximumClients = 32;
constexpr std::size_t RequestBodyLimit = 1024;
constexpr std::uint32_t RequestHeaderLimit = 8192;
constexpr std::size_t MessageLimit = 64;
constexpr auto RequestTimeout = std::chrono::seconds(30);

std::string describe(const tcp::socket& socket)
{
    beast::error_code error;
    const tcp::endpoint peer = socket.remote_endpoint(error);
    return error ? std::string("a client")
                 : peer.address().to_string() + ":" + std::to_string(peer.port());
}

} // namespace

struct StreamServer::Impl
{
    class HttpSession;
    class StreamSession;

    Impl(Content c, RequestHandler handler)
        : content(std::move(c)), onRequest(std::move(handler)), acceptor(io)
    {}

    void accept();
    void distribute(const std::shared_ptr<const std::string>& frame);

    Content content;
    RequestHandler onRequest;
    // Server thread only. Before the loop: sessions still count down while it is destroyed.
    std::size_t clients = 0;
    std::list<std::weak_ptr<StreamSession>> streams;
    asio::io_context io;
    tcp::acceptor acceptor;
    std::thread thread;
    unsigned short boundPort = 0;
};

// One WebSocket client of the stream.
class StreamServer::Impl::StreamSession : public std::enable_shared_from_this<StreamSession>
{
public:
    StreamSession(Impl& server, tcp::socket&& socket, std::string name)
        : m_server(server), m_socket(std::move(socket)), m_name(std::move(name))
    {
        m_socket.read_message_max(MessageLimit);
        m_socket.set_option(websocket::stream_base::timeout::suggested(beast::role_type::server));
        ++m_server.clients;
    }
    ~StreamSession() { --m_server.clients; }

    void start(http::request<http::string_body> upgrade)
    {
        m_server.streams.push_back(weak_from_this());
        m_socket.async_accept(upgrade, [self = shared_from_this()](beast::error_code error) {
            if (error)
                return self->drop("the WebSocket handshake failed: " + error.message());
            ZEL_INFO << "WebServerPlugin: " << self->m_name << " opened the stream\n";
            self->read();
        });
    }

    // Sends the frame when this client waits for one and has no frame on the way.
    void offer(const std::shared_ptr<const std::string>& frame)
    {
        if (!m_waiting || m_writing || m_dropped)
            return;
        m_waiting = false;
        m_writing = true;
        m_socket.binary(true);
        m_socket.async_write(asio::buffer(*frame), [self = shared_from_this(),
                                                    frame](beast::error_code error, std::size_t) {
            self->m_writing = false;
            if (error)
                self->drop("it left in the middle of a frame (" + error.message() + ")");
        });
    }

private:
    void read()
    {
        m_incoming.clear();
        m_socket.async_read(m_incoming,
                            [self = shared_from_this()](beast::error_code error, std::size_t) {
                                self->received(error);
                            });
    }

    void received(beast::error_code error)
    {
        if (m_dropped)
            return;
        if (error == websocket::error::closed || error == asio::error::eof ||
            error == asio::error::operation_aborted) {
            ZEL_INFO << "WebServerPlugin: " << m_name << " left\n";
            return;
        }
        if (error)
            return drop(error.message());
        if (!m_socket.got_text() || beast::buffers_to_string(m_incoming.data()) != "frame")
            return drop("it sent something other than a request for a frame");
        if (m_waiting)
            return drop("it asked for a frame again before it had the last");
        m_waiting = true;
        m_server.onRequest(m_name);
        read();
    }

    void drop(const std::string& why)
    {
        if (m_dropped)
            return;
        m_dropped = true;
        ZEL_WARN << "WebServerPlugin: Dropped " << m_name << ": " << why << "\n";
        beast::error_code ignored;
        beast::get_lowest_layer(m_socket).socket().shutdown(tcp::socket::shutdown_both, ignored);
        beast::get_lowest_layer(m_socket).close();
    }

    Impl& m_server;
    websocket::stream<beast::tcp_stream> m_socket;
    std::string m_name;
    beast::flat_buffer m_incoming;
    bool m_waiting = false;
    bool m_writing = false;
    bool m_dropped = false;
};

// One HTTP connection: the page, three.js, or the upgrade to the stream.
class StreamServer::Impl::HttpSession : public std::enable_shared_from_this<HttpSession>
{
public:
    HttpSession(Impl& server, tcp::socket&& socket)
        : m_server(server), m_name(describe(socket)), m_stream(std::move(socket))
    {
        ++m_server.clients;
    }
    ~HttpSession() { --m_server.clients; }

    void read()
    {
        m_parser.emplace();
        m_parser->body_limit(RequestBodyLimit);
        m_parser->header_limit(RequestHeaderLimit);
        m_stream.expires_after(RequestTimeout);
        http::async_read(m_stream, m_buffer, *m_parser,
                         [self = shared_from_this()](beast::error_code error, std::size_t) {
                             self->received(error);
                         });
    }

private:
    void received(beast::error_code error)
    {
        if (error == http::error::end_of_stream || error == asio::error::operation_aborted)
            return close();
        if (error == beast::error::timeout)
            return drop("it sent no request in time");
        if (error)
            return drop("it sent no valid HTTP request (" + error.message() + ")");

        http::request<http::string_body> request = m_parser->release();
        if (websocket::is_upgrade(request)) {
            if (request.target() != "/stream")
                return drop("it asked for a WebSocket other than /stream");
            m_stream.expires_never();
            auto stream =
                std::make_shared<StreamSession>(m_server, m_stream.release_socket(), m_name);
            stream->start(std::move(request));
            return;
        }
        respond(request);
    }

    void respond(const http::request<http::string_body>& request)
    {
        auto response = std::make_shared<http::response<http::string_body>>();
        response->version(request.version());
        response->keep_alive(request.keep_alive());
        response->set(http::field::server, "Zelvista");
        response->set(http::field::cache_control, "no-store");
        const beast::string_view target = request.target();
        if (request.method() != http::verb::get && request.method() != http::verb::head) {
            response->result(http::status::method_not_allowed);
        } else if (target == "/" || target == "/index.html") {
            response->result(http::status::ok);
            response->set(http::field::content_type, "text/html; charset=utf-8");
            response->body() = m_server.content.page;
        } else if (target == "/three.min.js" && !m_server.content.threeJs.empty()) {
            response->result(http::status::ok);
            response->set(http::field::content_type, "text/javascript; charset=utf-8");
            response->body() = m_server.content.threeJs;
        } else {
            response->result(http::status::not_found);
        }
        if (request.method() == http::verb::head)
            response->body().clear();
        response->prepare_payload();
        http::async_write(
            m_stream, *response,
            [self = shared_from_this(), response](beast::error_code error, std::size_t) {
                if (error)
                    return self->drop("it left before its answer was sent");
                if (!response->keep_alive())
                    return self->close();
                self->read();
            });
    }

    void close()
    {
        beast::error_code ignored;
        m_stream.socket().shutdown(tcp::socket::shutdown_send, ignored);
    }

    void drop(const std::string& why)
    {
        ZEL_WARN << "WebServerPlugin: Dropped " << m_name << ": " << why << "\n";
        beast::error_code ignored;
        m_stream.socket().shutdown(tcp::socket::shutdown_both, ignored);
        m_stream.close();
    }

    Impl& m_server;
    std::string m_name;
    beast::tcp_stream m_stream;
    beast::flat_buffer m_buffer;
    std::optional<http::request_parser<http::string_body>> m_parser;
};

void StreamServer::Impl::accept()
{
    acceptor.async_accept([this](beast::error_code error, tcp::socket socket) {
        if (error == asio::error::operation_aborted)
            return;
        if (!error) {
            if (clients >= MaximumClients) {
                ZEL_WARN << "WebServerPlugin: Dropped " << describe(socket) << ": "
                         << MaximumClients << " clients are connected already\n";
            } else {
                std::make_shared<HttpSession>(*this, std::move(socket))->read();
            }
        }
        accept();
    });
}

void StreamServer::Impl::distribute(const std::shared_ptr<const std::string>& frame)
{
    for (auto entry = streams.begin(); entry != streams.end();) {
        if (std::shared_ptr<StreamSession> session = entry->lock()) {
            session->offer(frame);
            ++entry;
        } else {
            entry = streams.erase(entry);
        }
    }
}

StreamServer::StreamServer(Content content, RequestHandler onRequest)
    : m_impl(std::make_unique<Impl>(std::move(content), std::move(onRequest)))
{}

StreamServer::~StreamServer()
{
    if (m_impl->thread.joinable()) {
        // Closing the acceptor and stopping the loop ends every session with it.
        asio::post(m_impl->io, [impl = m_impl.get()] {
            beast::error_code ignored;
            impl->acceptor.close(ignored);
            impl->io.stop();
        });
        m_impl->thread.join();
    }
}

std::string StreamServer::listen(const std::string& address, unsigned short port)
{
    if (m_impl->thread.joinable())
        return "the server is listening already";
    beast::error_code error;
    const asio::ip::address ip = asio::ip::make_address(address, error);
    if (error)
        return "\"" + address + "\" is no IP address";
    const tcp::endpoint endpoint(ip, port);
    tcp::acceptor& acceptor = m_impl->acceptor;
    acceptor.open(endpoint.protocol(), error);
    if (!error)
        acceptor.set_option(asio::socket_base::reuse_address(true), error);
    if (!error)
        acceptor.bind(endpoint, error);
    if (!error)
        acceptor.listen(asio::socket_base::max_listen_connections, error);
    if (error) {
        acceptor.close(error);
        return "cannot listen on " + address + ":" + std::to_string(port) + " (" + error.message() +
               ")";
    }
    m_impl->boundPort = acceptor.local_endpoint().port();
    m_impl->accept();
    m_impl->thread = std::thread([impl = m_impl.get()] { impl->io.run(); });
    return {};
}

unsigned short StreamServer::port() const
{
    return m_impl->boundPort;
}

void StreamServer::send(std::shared_ptr<const std::string> frame)
{
    asio::post(m_impl->io,
               [impl = m_impl.get(), frame = std::move(frame)] { impl->distribute(frame); });
}
