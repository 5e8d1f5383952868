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
  void clear() {
    dropped_ += calls_.size();
    calls_.clear();
  }
  // text() of every entry, optionally only those whose member is one of the given names.
  std::vector<std::string> texts() const;
  std::vector<std::string> texts(const std::vector<std::string>& members) const;
  std::vector<std::string> members() const;  // just the member names, in order
  std::size_t count(const std::string& member) const;

  // Adds an entry when an access begins, so that accesses made while it runs (a hook delivering
  // an event) come after it; finish() fills in its result later. Returns a ticket for finish().
  std::size_t begin(HostCall call);
  // Sets the result of the entry begun with the ticket, unless the log has been cleared since.
  void finish(std::size_t ticket, std::string result);

 private:
  std::vector<HostCall> calls_;
  std::size_t dropped_ = 0;  // entries cleared away so far: tickets count from the first entry
};

// Wraps any factory: every object it creates, and every object those return, logs each member
// access to the log (and its own release when the last reference goes) before passing it on.
ObjectFactory recordingFactory(ObjectFactory inner, std::shared_ptr<CallLog> log);

}  // namespace orvane::host::recording
