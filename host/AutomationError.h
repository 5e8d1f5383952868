#pragma once

#include <stdexcept>
#include <string>

namespace orvane::host {

// Everything that can go wrong when the controller talks to the host: a failed member access or a
// value that cannot be converted. Skip-and-continue swallows exactly this family and nothing else.
class AutomationError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A member access that the host (or the binding to it) could not carry out.
class HostError : public AutomationError {
 public:
  HostError(std::string member, std::string hostMessage)
      : AutomationError(member + ": " + hostMessage),
        member_(std::move(member)),
        hostMessage_(std::move(hostMessage)) {}

  const std::string& member() const { return member_; }
  const std::string& hostMessage() const { return hostMessage_; }

 private:
  std::string member_;
  std::string hostMessage_;
};

// A Variant that cannot be turned into the type asked for (text that is no number, an overflow).
class ConversionError : public AutomationError {
 public:
  using AutomationError::AutomationError;
};

}  // namespace orvane::host
