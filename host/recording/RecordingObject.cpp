#include "host/recording/RecordingObject.h"

#include <algorithm>
#include <exception>

namespace orvane::host::recording {

namespace {

std::string join(const std::vector<std::string>& parts) {
  std::string text;
  for (const auto& part : parts) text += (text.empty() ? "" : ", ") + part;
  return text;
}

std::string describeArg(const Arg& arg) {
  std::string text = arg.isRef() ? "&" : "";  // appended, not prepended: GCC 12 -Wrestrict noise
  text += describe(arg.current());
  return text;
}

std::string raisedText() {
  try {
    throw;
  } catch (const std::exception& error) {
    return std::string("raised: ") + error.what();
  } catch (...) {
    return "raised: an unknown error";
  }
}

// Passes every access on to the object it wraps and logs it first. Objects that come back in a
// result are wrapped in turn, named after the member that returned them.
class RecordingObject final : public Object {
 public:
  RecordingObject(ObjectRef inner, std::shared_ptr<CallLog> log, std::string name)
      : inner_(std::move(inner)), log_(std::move(log)), name_(std::move(name)) {}

  ~RecordingObject() override {
    try {
      log_->add({HostCall::Kind::Release, name_, "", {}, ""});
    } catch (...) {  // a log that cannot grow must not turn a release into a crash
    }
  }
  RecordingObject(const RecordingObject&) = delete;
  RecordingObject& operator=(const RecordingObject&) = delete;

  Variant call(std::string_view member, Args args) override {
    std::vector<std::string> described;
    for (const auto& arg : args) described.push_back(describeArg(arg));
    return record(HostCall::Kind::Call, member, std::move(described),
                  [&] { return inner_->call(member, args); });
  }

  Variant get(std::string_view member) override {
    return record(HostCall::Kind::Get, member, {}, [&] { return inner_->get(member); });
  }

  void put(std::string_view member, const Variant& value) override {
    record(HostCall::Kind::Put, member, {describe(value)}, [&] {
      inner_->put(member, value);
      return Variant();
    });
  }
  using Object::call;

 private:
  template <typename Access>
  Variant record(HostCall::Kind kind, std::string_view member, std::vector<std::string> args,
                 Access access) {
    const auto ticket = log_->begin({kind, name_, std::string(member), std::move(args), ""});
    Variant result;
    try {
      result = access();
    } catch (...) {
      log_->finish(ticket, raisedText());
      throw;
    }
    log_->finish(ticket, kind == HostCall::Kind::Put ? "" : describe(result));
    if (result.kind() == Variant::Kind::Object && result.toObject() != nullptr) {
      return Variant(ObjectRef(
          std::make_shared<RecordingObject>(result.toObject(), log_, std::string(member))));
    }
    return result;
  }

  ObjectRef inner_;
  std::shared_ptr<CallLog> log_;
  std::string name_;
};

}  // namespace

std::string HostCall::text() const {
  switch (kind) {
    case Kind::Create:
      return "CreateObject(\"" + member + "\")";
    case Kind::Call:
      return member + "(" + join(args) + ")";
    case Kind::Get:
      return member;
    case Kind::Put:
      return member + " = " + (args.empty() ? std::string() : args.front());
    case Kind::Release:
      return "Release " + object;
  }
  return member;
}

std::vector<std::string> CallLog::texts() const {
  std::vector<std::string> result;
  for (const auto& call : calls_) result.push_back(call.text());
  return result;
}

std::vector<std::string> CallLog::texts(const std::vector<std::string>& members) const {
  std::vector<std::string> result;
  for (const auto& call : calls_) {
    if (std::find(members.begin(), members.end(), call.member) != members.end()) {
      result.push_back(call.text());
    }
  }
  return result;
}

std::vector<std::string> CallLog::members() const {
  std::vector<std::string> result;
  for (const auto& call : calls_) result.push_back(call.member);
  return result;
}

std::size_t CallLog::count(const std::string& member) const {
  return static_cast<std::size_t>(
      std::count_if(calls_.begin(), calls_.end(),
                    [&member](const HostCall& call) { return call.member == member; }));
}

std::size_t CallLog::begin(HostCall call) {
  calls_.push_back(std::move(call));
  return dropped_ + calls_.size() - 1;
}

void CallLog::finish(std::size_t ticket, std::string result) {
  if (ticket < dropped_ || ticket - dropped_ >= calls_.size()) return;
  calls_[ticket - dropped_].result = std::move(result);
}

ObjectFactory recordingFactory(ObjectFactory inner, std::shared_ptr<CallLog> log) {
  return [inner = std::move(inner), log = std::move(log)](const std::string& progId) -> ObjectRef {
    const auto ticket = log->begin({HostCall::Kind::Create, "HostApp", progId, {}, ""});
    ObjectRef created;
    try {
      created = inner(progId);
    } catch (...) {
      log->finish(ticket, raisedText());
      throw;
    }
    log->finish(ticket, describe(Variant(created)));
    if (created == nullptr) return nullptr;
    return std::make_shared<RecordingObject>(std::move(created), log, "HostApp");
  };
}

}  // namespace orvane::host::recording
