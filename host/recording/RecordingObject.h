#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host/Object.h"

namespace orvane::host::recording {

// One member access as the controller made it.
struct HostCall {
  enum class Kind { Create, Call, Get, Put, Release };
  Kind kind;
  std::string object;  // "HostApp" for the created object, else the member that returned it
  std::string member;  // the ProgID for Create
  std::vector<std::string> args;  // as passed: by value "5", "True", "\"BusA0\"";
                                  // by reference "&5", "&Empty" (the value when the call began)
  std::string result;             // describe() of the result; "raised: <message>" on failure
  // "SWITCHER_AddChannel(\"BusA0\", &5)", "ORVANE_ShowErrorMessages = False",
  // "IOSWITCHER_BUS_A", "CreateObject(\"Qelvix.Application\")", "Release IOSwitcher"
  std::string text() const;
};

// The log shared by a recording factory and every object it hands out.
class CallLog {
 public:
  const std::vector<HostCall>& calls() const { return calls_; }
  void add(HostCall call) { calls_.push_back(std::move(call)); }
  void clear() { calls_.clear(); }
  // text() of every entry, optionally only those whose member is one of the given names.
  std::vector<std::string> texts() const;
  std::vector<std::string> members() const;  // just the member names, in order
  std::size_t count(const std::string& member) const;

 private:
  std::vector<HostCall> calls_;
};

// Wraps any factory: every object it creates, and every object those return, logs each member
// access to the log (and its own release when the last reference goes) before passing it on.
ObjectFactory recordingFactory(ObjectFactory inner, std::shared_ptr<CallLog> log);

}  // namespace orvane::host::recording
