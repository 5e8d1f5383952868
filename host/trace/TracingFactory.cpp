#include "host/trace/TracingFactory.h"

#include <chrono>
#include <exception>
#include <string>
#include <vector>

#include "host/CallWaiter.h"
#include "host/trace/TraceText.h"

namespace orvane::host::trace {

namespace {

using Clock = TraceLog::Clock;

std::string errorText() {
  try {
    throw;
  } catch (const WaitCancelled&) {
    return "-> cancelled by the operator";
  } catch (const CallGivenUpWhileQueued& error) {
    return "-> error " + quotedText(error.what()) +
           " (given up waiting for it: queued behind a call the host has not answered)";
  } catch (const CallGivenUp& error) {
    return "-> error " + quotedText(error.what()) + " (given up waiting for it)";
  } catch (const CallNotSent& error) {
    return "-> " + error.hostMessage();
  } catch (const std::exception& error) {
    return "-> error " + quotedText(error.what());
  } catch (...) {
    return "-> error " + quotedText("an unknown error");
  }
}

// Writes "host <us>us <what> <outcome>" for an access that began at `began`.
void writeAccess(TraceLog& log, Clock::time_point began, const std::string& what,
                 const std::string& outcome) {
  const auto us =
      std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - began).count();
  std::string text = "host ";
  text += std::to_string(us);
  text += "us ";
  text += what;
  if (!outcome.empty()) {
    text += ' ';
    text += outcome;
  }
  log.write(began, text);
}

// Start-up asks HostApp.IsInitialised and calls Sleep until the host is ready: a cold start of
// 13 s with Sleep(10) is a thousand rounds. The first round is written as it is; the identical
// rounds after it become one line, written once they end (or another line comes between them, such
// as the start-up window's), with their number and time taken:
//   "host 9990000us HostApp.IsInitialised -> False, HostApp.Sleep(10) -> Empty: 998 more rounds"
class ReadyWaitFold {
 public:
  // Whether the access just made (and not yet written) belongs to a folded round.
  bool fold(TraceLog& log, Clock::time_point began, const std::string& line) {
    if (line == notReady_ && stage_ == Stage::Slept) {
      stage_ = Stage::Asked;
      restartIfWritten(log, began);
      return true;
    }
    if (line == sleep_ && stage_ == Stage::Asked && started_) {
      stage_ = Stage::Slept;
      restartIfWritten(log, began);
      ++rounds_;
      holdBackSummary(log);
      return true;
    }
    return false;
  }
  // Before an access that is not folded is written; writing it brings out the held-back count.
  void noteWritten(const std::string& line) {
    rounds_ = 0;
    started_ = false;
    if (line.starts_with("HostApp.IsInitialised -> False")) {
      notReady_ = line;
      stage_ = Stage::Asked;
    } else if (stage_ == Stage::Asked && line.starts_with("HostApp.Sleep(")) {
      sleep_ = line;
      stage_ = Stage::Slept;
    } else {
      stage_ = Stage::None;
    }
  }

 private:
  enum class Stage { None, Asked, Slept };
  // The folded rounds start counting anew once another line has brought their count out.
  void restartIfWritten(TraceLog& log, Clock::time_point began) {
    if (started_ && (rounds_ == 0 || log.holdingBack(TraceLog::Held::Rounds))) return;
    started_ = true;
    rounds_ = 0;
    foldBegan_ = began;
  }
  void holdBackSummary(TraceLog& log) {
    const auto us =
        std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - foldBegan_).count();
    log.holdBack(TraceLog::Held::Rounds, foldBegan_,
                 "host " + std::to_string(us) + "us " + notReady_ + ", " + sleep_ + ": " +
                     std::to_string(rounds_) + " more round" + (rounds_ == 1 ? "" : "s"));
  }

  Stage stage_ = Stage::None;
  std::string notReady_;  // the first round's two lines, without their durations
  std::string sleep_;
  bool started_ = false;
  long rounds_ = 0;  // the rounds folded since foldBegan_, each counted at its Sleep
  Clock::time_point foldBegan_;
};

class TracingObject final : public Object {
 public:
  TracingObject(ObjectRef inner, std::shared_ptr<TraceLog> log, std::string name)
      : inner_(std::move(inner)), log_(std::move(log)), name_(std::move(name)) {}

  ~TracingObject() override {
    const auto began = Clock::now();
    inner_.reset();
    try {
      writeAccess(*log_, began, "release " + name_, "");
    } catch (...) {  // no memory for the line: the release itself has happened
    }
  }
  TracingObject(const TracingObject&) = delete;
  TracingObject& operator=(const TracingObject&) = delete;

  Variant call(std::string_view member, Args args) override {
    std::vector<Variant> before;
    before.reserve(args.size());
    for (const auto& arg : args) before.push_back(arg.current());
    const auto began = Clock::now();
    const OpenWhile open(*log_, began, "host call " + callText(member, args, before));
    try {
      Variant result = inner_->call(member, args);
      write(began, callText(member, args, before), "-> " + valueText(result));
      return wrapped(std::move(result), member);
    } catch (...) {
      write(began, callText(member, args, before), errorText());
      throw;
    }
  }

  Variant get(std::string_view member) override {
    const std::string what = name_ + "." + std::string(member);
    const auto began = Clock::now();
    const OpenWhile open(*log_, began, "host call " + what);
    try {
      Variant result = inner_->get(member);
      write(began, what, "-> " + valueText(result));
      return wrapped(std::move(result), member);
    } catch (...) {
      write(began, what, errorText());
      throw;
    }
  }

  void put(std::string_view member, const Variant& value) override {
    const std::string what = name_ + "." + std::string(member) + " = " + valueText(value);
    const auto began = Clock::now();
    const OpenWhile open(*log_, began, "host call " + what);
    try {
      inner_->put(member, value);
      write(began, what, "");
    } catch (...) {
      write(began, what, errorText());
      throw;
    }
  }
  using Object::call;

 private:
  void write(Clock::time_point began, const std::string& what, const std::string& outcome) {
    const std::string line = outcome.empty() ? what : what + " " + outcome;
    if (readyWait_.fold(*log_, began, line)) return;
    readyWait_.noteWritten(line);
    writeAccess(*log_, began, what, outcome);
  }

  std::string callText(std::string_view member, Args args,
                       const std::vector<Variant>& before) const {
    std::string text = name_ + "." + std::string(member) + "(";
    for (std::size_t i = 0; i < args.size(); ++i) {
      if (i > 0) text += ", ";
      if (!args[i].isRef()) {
        text += valueText(before[i]);
        continue;
      }
      text += '&';
      text += valueText(before[i]);
      if (const Variant after = args[i].current(); !(after == before[i])) {
        text += " => ";
        text += valueText(after);
      }
    }
    return text + ")";
  }

  // Objects that come back are traced in turn, named after the member that returned them.
  Variant wrapped(Variant result, std::string_view member) const {
    if (result.kind() != Variant::Kind::Object || result.toObject() == nullptr) return result;
    return Variant(
        ObjectRef(std::make_shared<TracingObject>(result.toObject(), log_, std::string(member))));
  }

  ObjectRef inner_;
  std::shared_ptr<TraceLog> log_;
  std::string name_;
  ReadyWaitFold readyWait_;
};

}  // namespace

ObjectFactory tracingFactory(ObjectFactory inner, std::shared_ptr<TraceLog> log) {
  return [inner = std::move(inner), log = std::move(log)](const std::string& progId) -> ObjectRef {
    const std::string what = "CreateObject(" + quotedText(progId) + ")";
    const auto began = Clock::now();
    ObjectRef created;
    try {
      const OpenWhile open(*log, began, "host call " + what);
      created = inner(progId);
    } catch (...) {
      writeAccess(*log, began, what, errorText());
      throw;
    }
    writeAccess(*log, began, what, "-> " + valueText(Variant(created)));
    if (created == nullptr) return nullptr;
    return std::make_shared<TracingObject>(std::move(created), log, "HostApp");
  };
}

}  // namespace orvane::host::trace
