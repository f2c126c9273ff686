#pragma once

#include <atomic>
#include <cstdint>
#include <string>

class SimVpcdResponder;

// The connection of one card to vpcd on 127.0.0.1: connects, answers every message
// through the responder until vpcd closes the connection or a stop is asked for.
class VpcdClient {
  public:
    explicit VpcdClient(std::uint16_t port) : port_(port) {}
    ~VpcdClient();
    VpcdClient(const VpcdClient&) = delete;
    VpcdClient& operator=(const VpcdClient&) = delete;

    // True when connected; `error` says why not.
    bool Connect(std::string& error);
    // Serves the connection until it closes (true) or fails (false, `error` set).
    // Returns early, with true, once `stop` is set.
    bool Serve(SimVpcdResponder& responder, const std::atomic<bool>& stop, std::string& error);
    void Close();

  private:
    bool SendAll(const std::uint8_t* bytes, std::size_t count, std::string& error);

    std::uint16_t port_;
    int socket_ = -1;
};
