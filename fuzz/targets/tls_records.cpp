// A hostile TLS server: its bytes reach the client's record reader and handshake parser, and
// whatever plain text got through would go on to the response head reader.
#include <sys/socket.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <thread>

#include "net/http_head.h"
#include "net/socket.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  int sv[2];
  if (socketpair(AF_UNIX, SOCK_STREAM, 0, sv) != 0) return 0;
  // The server's side: everything at once, then the end; what the client says is drained.
  std::thread server([&] {
    size_t off = 0;
    while (off < size) {
      ssize_t n = ::send(sv[1], data + off, size - off, MSG_NOSIGNAL);
      if (n <= 0) break;
      off += static_cast<size_t>(n);
    }
    ::shutdown(sv[1], SHUT_WR);
    char sink[4096];
    while (::recv(sv[1], sink, sizeof sink, 0) > 0) {}
  });
  {
    net::Socket s(sv[0]);
    net::TlsFailure why;
    if (s.StartTls("localhost", net::Deadline::InMs(1000), why) == net::IoStatus::kOk) {
      net::HttpHead head;
      net::HttpHeadLimits limits;
      limits.timeout_ms = 200;
      net::ReadHttpHead(s, limits, head);
    }
  }  // closes the client's end, which ends the server's drain
  server.join();
  ::close(sv[1]);
  return 0;
}
