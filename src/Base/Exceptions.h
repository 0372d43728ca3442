// SPDX-License-Identifier: MIT
// Failures of the framework and the print surface: one base class carrying the message text,
// which is what the user sees when an error escapes an event handler.
#pragma once

#include <exception>
#include <string>
#include <utility>

namespace wydruki {

class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}
  const std::string& Message() const { return message_; }
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  std::string message_;
};

// An operation that the object's state does not allow.
class EInvalidOperation : public Exception {
 public:
  using Exception::Exception;
};

// An object is not of the class an operation needs.
class EInvalidCast : public Exception {
 public:
  using Exception::Exception;
};

// Image data that cannot be used.
class EInvalidGraphic : public Exception {
 public:
  using Exception::Exception;
};

// An error that ends the operation without being shown to the user.
class EAbort : public Exception {
 public:
  using Exception::Exception;
};

}  // namespace wydruki
