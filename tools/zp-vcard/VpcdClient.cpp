#include "VpcdClient.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "sim/SimVpcdResponder.h"

VpcdClient::~VpcdClient() {
    Close();
}

void VpcdClient::Close() {
    if (socket_ >= 0) {
        ::close(socket_);
        socket_ = -1;
    }
}

bool VpcdClient::Connect(std::string& error) {
    Close();
    socket_ = ::socket(AF_INET, SOCK_STREAM, 0);
    if (socket_ < 0) {
        error = std::strerror(errno);
        return false;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port_);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(socket_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        error = std::strerror(errno);
        Close();
        return false;
    }
    // Every answer goes out at once instead of waiting for more to send.
    const int noDelay = 1;
    ::setsockopt(socket_, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
    return true;
}

bool VpcdClient::SendAll(const std::uint8_t* bytes, std::size_t count, std::string& error) {
    while (count > 0) {
        const ssize_t sent = ::send(socket_, bytes, count, MSG_NOSIGNAL);
        if (sent < 0) {
            if (errno == EINTR) {
                continue;
            }
            error = std::strerror(errno);
            return false;
        }
        bytes += sent;
        count -= static_cast<std::size_t>(sent);
    }
    return true;
}

bool VpcdClient::Serve(SimVpcdResponder& responder, const std::atomic<bool>& stop,
                       std::string& error) {
    VpcdStream stream;
    std::uint8_t buffer[4096];
    while (!stop) {
        // vpcd sends the length and the payload of a message separately; acknowledging at
        // once lets the payload follow without waiting for a delayed acknowledgement.
        // Linux clears the option after use, so it is set before every receive.
        const int quickAck = 1;
        ::setsockopt(socket_, IPPROTO_TCP, TCP_QUICKACK, &quickAck, sizeof quickAck);
        const ssize_t received = ::recv(socket_, buffer, sizeof buffer, 0);
        if (received == 0) {
            return true;
        }
        if (received < 0) {
            if (errno == EINTR) {
                continue;
            }
            error = std::strerror(errno);
            return false;
        }
        stream.Feed(ByteView(buffer, static_cast<std::size_t>(received)));
        while (const auto message = stream.Next()) {
            if (const auto reply = responder.Answer(*message)) {
                const Bytes framed = VpcdStream::Frame(*reply);
                if (!SendAll(framed.data(), framed.size(), error)) {
                    return false;
                }
            }
        }
    }
    return true;
}
