#include "host/trace/TracingFactory.h"

#include <chrono>
#include <exception>
#include <string>
#include <vector>

#include "host/trace/TraceText.h"

namespace orvane::host::trace {

namespace {

using Clock = TraceLog::Clock;

std::string errorText() {
  try {
    throw;
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
    try {
      Variant result = inner_->call(member, args);
      writeAccess(*log_, began, callText(member, args, before), "-> " + valueText(result));
      return wrapped(std::move(result), member);
    } catch (...) {
      writeAccess(*log_, began, callText(member, args, before), errorText());
      throw;
    }
  }

  Variant get(std::string_view member) override {
    const auto began = Clock::now();
    try {
      Variant result = inner_->get(member);
      writeAccess(*log_, began, name_ + "." + std::string(member), "-> " + valueText(result));
      return wrapped(std::move(result), member);
    } catch (...) {
      writeAccess(*log_, began, name_ + "." + std::string(member), errorText());
      throw;
    }
  }

  void put(std::string_view member, const Variant& value) override {
    const std::string what = name_ + "." + std::string(member) + " = " + valueText(value);
    const auto began = Clock::now();
    try {
      inner_->put(member, value);
      writeAccess(*log_, began, what, "");
    } catch (...) {
      writeAccess(*log_, began, what, errorText());
      throw;
    }
  }
  using Object::call;

 private:
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
};

}  // namespace

ObjectFactory tracingFactory(ObjectFactory inner, std::shared_ptr<TraceLog> log) {
  return [inner = std::move(inner), log = std::move(log)](const std::string& progId) -> ObjectRef {
    const std::string what = "CreateObject(" + quotedText(progId) + ")";
    const auto began = Clock::now();
    ObjectRef created;
    try {
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
