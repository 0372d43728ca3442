// SPDX-License-Identifier: MIT
#include "test_support/lossy_relay.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <stdexcept>

namespace wydruki::test {
namespace {

int Connect(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(port));
  if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0)
    return fd;
  if (fd >= 0) ::close(fd);
  return -1;
}

bool SendAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t sent = ::send(fd, data, size, MSG_NOSIGNAL);
    if (sent <= 0) return false;
    data += sent;
    size -= static_cast<std::size_t>(sent);
  }
  return true;
}

// Whether the request bytes seen so far on a connection hold the start of a Send-Document
// request: the end of an HTTP header, an optional chunk-size line, then an IPP version and the
// operation 0x0006.
bool HoldsSendDocument(const std::string& stream) {
  for (std::size_t at = stream.find("\r\n\r\n"); at != std::string::npos;
       at = stream.find("\r\n\r\n", at + 1)) {
    std::size_t body = at + 4;
    std::size_t digits = body;
    while (digits < stream.size() && std::isxdigit(static_cast<unsigned char>(stream[digits])))
      ++digits;
    if (digits > body && stream.compare(digits, 2, "\r\n") == 0) body = digits + 2;
    if (stream.size() >= body + 4 && (stream[body] == 1 || stream[body] == 2) &&
        stream[body + 2] == 0 && stream[body + 3] == 6)
      return true;
  }
  return false;
}

}  // namespace

LossyRelay::LossyRelay(int upstream_port) : upstream_port_(upstream_port) {
  listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
      ::listen(listener_, 16) != 0 ||
      ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
    throw std::runtime_error("the relay cannot listen");
  port_ = ntohs(address.sin_port);
  acceptor_ = std::thread([this] { Accept(); });
}

LossyRelay::~LossyRelay() {
  stopping_ = true;
  ::shutdown(listener_, SHUT_RDWR);
  ::close(listener_);
  acceptor_.join();
  std::lock_guard lock(mutex_);
  for (auto& connection : connections_) connection.join();
}

std::string LossyRelay::server() const { return "127.0.0.1:" + std::to_string(port_); }

void LossyRelay::Accept() {
  while (!stopping_) {
    const int client = ::accept(listener_, nullptr, nullptr);
    if (client < 0) return;
    std::lock_guard lock(mutex_);
    connections_.emplace_back([this, client] { Relay(client); });
  }
}

void LossyRelay::Relay(int client) {
  const int upstream = Connect(upstream_port_);
  std::string requests;  // what the client sent, while a lost answer is still to come
  bool losing = false;   // this connection's next final answer is to be lost
  char buffer[65536];
  while (upstream >= 0 && !stopping_) {
    pollfd fds[2] = {{client, POLLIN, 0}, {upstream, POLLIN, 0}};
    if (::poll(fds, 2, 200) < 0) break;
    if (fds[0].revents != 0) {
      const ssize_t got = ::recv(client, buffer, sizeof buffer, 0);
      if (got <= 0 || !SendAll(upstream, buffer, static_cast<std::size_t>(got))) break;
      if (armed_ && !losing) {
        requests.append(buffer, static_cast<std::size_t>(got));
        if (requests.size() > (1u << 20)) requests.erase(0, requests.size() - 4096);
        losing = HoldsSendDocument(requests);
        if (losing) armed_ = false;
      }
    }
    if (fds[1].revents != 0) {
      const ssize_t got = ::recv(upstream, buffer, sizeof buffer, 0);
      if (got <= 0) break;
      std::string answer(buffer, static_cast<std::size_t>(got));
      if (losing) {
        // "100 Continue" lets the document come; the final answer is the one lost.
        const std::string go_on = "HTTP/1.1 100 Continue\r\n\r\n";
        if (answer.rfind(go_on, 0) == 0) {
          if (!SendAll(client, go_on.data(), go_on.size())) break;
          answer.erase(0, go_on.size());
        }
        if (!answer.empty()) {
          // What a broken network path gives instead: an error that says nothing of the job.
          const std::string broken =
              "HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
          SendAll(client, broken.data(), broken.size());
          ++lost_;
          break;
        }
        continue;
      }
      if (!SendAll(client, answer.data(), answer.size())) break;
    }
  }
  if (upstream >= 0) ::close(upstream);
  ::close(client);
}

}  // namespace wydruki::test
