// Portable blocking TCP client socket with time-outs (Winsock or POSIX).
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

namespace net {

// Result of a receive or connect.
enum class IoStatus { Ok, Closed, Timeout, Aborted, Error };

class Socket {
public:
    Socket() = default;
    ~Socket();
    Socket(const Socket &) = delete;
    Socket &operator=(const Socket &) = delete;
    Socket(Socket &&other) noexcept;
    Socket &operator=(Socket &&other) noexcept;

    // Every wait polls in short slices and gives up with Aborted as soon as *abort is set.
    void set_abort_flag(const std::atomic<bool> *abort) { abort_ = abort; }

    // Resolves host (name or dotted address) and connects within timeout_ms.
    IoStatus connect(const std::string &host, uint16_t port, int timeout_ms);
    // Sends all bytes; false on error or abort.
    bool send_all(const void *data, size_t len, int timeout_ms);
    // Receives up to len bytes; got is set on Ok. Closed means orderly end of data.
    IoStatus recv(void *buf, size_t len, size_t &got, int timeout_ms);
    void close();
    bool is_open() const;

private:
    IoStatus wait(bool for_write, int timeout_ms);
    intptr_t fd_ = -1;
    const std::atomic<bool> *abort_ = nullptr;
};

// Call once before any socket use (Winsock start-up; nothing elsewhere). Safe to call repeatedly.
void init();

}  // namespace net
