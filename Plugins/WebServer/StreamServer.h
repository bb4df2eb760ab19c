#pragma once

#include <functional>
#include <memory>
#include <string>

// An HTTP and WebSocket server on its own thread. It serves the stream page and three.js, and
// on "/stream" a WebSocket over which a page asks for frames (a text message "frame") and
// receives them (one binary message each). A client that breaks the protocol, floods or goes
// away in the middle of a frame is dropped with a WARN record; the others go on.
class StreamServer
{
public:
    struct Content
    {
        std::string page;
        // three.js as Debian's libjs-three installs it; empty when it is missing.
        std::string threeJs;
    };
    // Called on the server's thread when a page asks for a frame, with the client's address.
    using RequestHandler = std::function<void(const std::string& client)>;

    StreamServer(Content content, RequestHandler onRequest);
    ~StreamServer();
    StreamServer(const StreamServer&) = delete;
    StreamServer& operator=(const StreamServer&) = delete;

    // Binds and starts the thread; returns why not, or "". Port 0 takes a free port.
    std::string listen(const std::string& address, unsigned short port);
    unsigned short port() const;
    // Any thread: the frame goes to every page that asked for one since its last frame.
    void send(std::shared_ptr<const std::string> frame);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};
