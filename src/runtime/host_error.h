// The host runtime's exceptions. An error that the driver does not guard (a
// parameter that does not convert, a table error, a file that cannot be
// written) reaches the host as one of these, carrying the runtime's message.
#pragma once

#include <stdexcept>
#include <string>

namespace zel {

// Base of every host-runtime exception. what() is the message text in
// Windows-1252, exactly as the host would show it.
class HostError : public std::runtime_error {
 public:
  explicit HostError(const std::string& message) : std::runtime_error(message) {}
  std::string Message() const { return what(); }
};

// A text that does not convert to a number, date or time
// ("'abc' is not a valid floating point value").
class ConvertError : public HostError {
 public:
  using HostError::HostError;
};

// A variant holding a kind that cannot become the requested one
// ("Could not convert variant of type (Array) into type (Double)").
class VariantTypeError : public HostError {
 public:
  using HostError::HostError;
};

// A table (client dataset) or data-packet error: unknown field, table closed,
// malformed packet.
class DatasetError : public HostError {
 public:
  using HostError::HostError;
};

// A file that cannot be opened, read or written.
class FileIOError : public HostError {
 public:
  using HostError::HostError;
};

}  // namespace zel
