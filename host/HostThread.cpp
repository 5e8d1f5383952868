#include "host/HostThread.h"

#include <deque>
#include <exception>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

namespace orvane::host {

namespace {

// The storage for a copy of each kind of field that a by-reference argument can name.
template <class>
struct FieldCopyOf;
template <class... Field>
struct FieldCopyOf<std::variant<Field*...>> {
  using type = std::variant<Field...>;
};
using FieldCopy = FieldCopyOf<Arg::FieldRef>::type;

constexpr const char* ThreadEnded = "the host thread has ended";

}  // namespace

// One access, from the controller's thread to the host thread and back. The host thread carries it
// out and marks it done; the controller's thread reads the answer only once it is done, and never
// if it has abandoned the access.
class ThreadObject;

struct HostAccess {
  explicit HostAccess(std::string name) : member(std::move(name)) {}

  std::string member;
  std::function<Variant()> work;  // holds the inputs; run and dropped on the host thread
  std::vector<FieldCopy> outs;    // the by-reference fields as the host sees and writes them
  Variant result;
  std::exception_ptr error;
  bool waitedFor = true;  // false for a release: nobody waits for it
  // Under the mutex.
  bool started = false;  // the host thread has taken it from the queue
  bool done = false;
  bool abandoned = false;
};

struct HostThread::Shared {
  Shared(CallWaiter& w, std::unique_ptr<ThreadHome> h) : waiter(w), home(std::move(h)) {}

  CallWaiter& waiter;
  std::unique_ptr<ThreadHome> home;

  std::mutex mutex;
  std::condition_variable changed;  // the thread has started, or an access has been carried out
  std::deque<std::shared_ptr<HostAccess>> queue;
  bool started = false;
  bool running = false;   // the host thread is carrying out an access
  bool stopping = false;  // no more accesses; the thread ends once the queue is empty
  bool ended = false;
  bool givenUp = false;
  bool releasedAll = false;  // answers from now on are let go on the host thread
  std::exception_ptr enterError;
  std::vector<std::weak_ptr<ThreadObject>> adopted;  // the controller's thread only
  std::weak_ptr<Shared> self;

  // The host thread.
  void hostLoop();
  static void carryOut(HostAccess& access);

  // The controller's thread.
  Variant perform(std::string name, std::function<Variant()> work);
  // The same for a record the caller has prepared and whose outs it reads afterwards.
  Variant perform(std::shared_ptr<HostAccess> access);
  void release(std::function<void()> drop);
  Variant fromHost(Variant value);
  Variant toHost(const Variant& value) const;
  ObjectRef adopt(ObjectRef inner);
};

// --- the host thread ------------------------------------------------------------------------

void HostThread::Shared::hostLoop() {
  std::exception_ptr failedToEnter;
  try {
    home->enter();
  } catch (...) {
    failedToEnter = std::current_exception();
  }
  std::unique_lock lock(mutex);
  started = true;
  changed.notify_all();
  if (failedToEnter) {
    enterError = failedToEnter;
    ended = true;
    return;
  }

  for (;;) {
    home->sleepUntil(lock, [this] { return !queue.empty() || stopping; });
    if (queue.empty()) break;  // stopping, and every queued release has run
    const std::shared_ptr<HostAccess> access = std::move(queue.front());
    queue.pop_front();
    access->started = true;
    running = !access->abandoned;  // an access given up on before it started is not made
    lock.unlock();
    if (running) carryOut(*access);
    access->work = nullptr;  // what it held is let go here, on the host thread
    lock.lock();
    running = false;
    access->done = true;
    if (access->abandoned || releasedAll) {
      // Nobody reads this answer any more: whatever the host handed out is let go here.
      lock.unlock();
      access->result = Variant();
      access->outs.clear();
      lock.lock();
    } else if (access->waitedFor) {
      waiter.wake();  // under the lock: the waiter cannot have returned before it sees `done`
    }
    changed.notify_all();
  }
  ended = true;  // from here on a release is made by whoever drops the object
  changed.notify_all();
  lock.unlock();
  try {
    home->leave();
  } catch (...) {  // nothing is left to tell about it
  }
}

void HostThread::Shared::carryOut(HostAccess& access) {
  try {
    access.result = access.work();
  } catch (...) {
    access.error = std::current_exception();
    access.outs.clear();  // a failed access writes no outs
  }
}

// --- the controller's thread ----------------------------------------------------------------

// Queues the access and waits for it. Throws the host's error; CallGivenUp when the operator gives
// up on it (CallGivenUpWhileQueued when it was still queued behind a call the host has not
// answered); CallNotSent when it is made after a give-up.
Variant HostThread::Shared::perform(std::string name, std::function<Variant()> work) {
  auto access = std::make_shared<HostAccess>(std::move(name));
  access->work = std::move(work);
  return perform(std::move(access));
}

Variant HostThread::Shared::perform(std::shared_ptr<HostAccess> access) {
  {
    const std::lock_guard lock(mutex);
    if (givenUp) throw CallNotSent(access->member, std::string("not sent: ") + NotResponding);
    if (stopping || ended) throw HostError(access->member, ThreadEnded);
    queue.push_back(access);
  }
  home->wakeUp();  // after the unlock, so that the host thread does not wake to a held lock
  const auto answered = [&] {
    const std::lock_guard lock(mutex);
    return access->done;
  };
  CallWaiter::Outcome outcome = CallWaiter::Outcome::GivenUp;
  try {
    outcome = waiter.wait(access->member, answered);
  } catch (const std::exception&) {  // a waiter that fails cannot wait any longer
  }
  {
    const std::lock_guard lock(mutex);
    // An answer that arrived before the operator gave up counts as an answer; the operator's
    // Cancel of start-up ends the program even when the answer came with it.
    if (outcome != CallWaiter::Outcome::Answered && !access->done) {
      access->abandoned = true;
      givenUp = true;
      if (outcome == CallWaiter::Outcome::Cancelled) throw WaitCancelled{};
      if (!access->started) throw CallGivenUpWhileQueued(access->member);
      throw CallGivenUp(access->member);
    }
    if (outcome == CallWaiter::Outcome::Cancelled) throw WaitCancelled{};
  }
  if (access->error) std::rethrow_exception(access->error);
  return std::move(access->result);
}

// Releases are queued and not waited for; they run before the next access.
void HostThread::Shared::release(std::function<void()> drop) {
  std::unique_lock lock(mutex);
  if (ended) {
    lock.unlock();
    drop();  // no host thread is left to release it on
    return;
  }
  auto access = std::make_shared<HostAccess>("Release");
  access->work = [drop = std::move(drop)] {
    drop();
    return Variant();
  };
  access->waitedFor = false;
  queue.push_back(std::move(access));
  lock.unlock();
  home->wakeUp();
}

// The controller's handle on one host object: each access runs on the host thread.
class ThreadObject final : public Object {
 public:
  ThreadObject(std::shared_ptr<HostThread::Shared> shared, ObjectRef inner)
      : shared_(std::move(shared)), inner_(std::move(inner)) {}
  ~ThreadObject() override { releaseInner(); }
  ThreadObject(const ThreadObject&) = delete;
  ThreadObject& operator=(const ThreadObject&) = delete;

  Variant call(std::string_view member, Args args) override {
    throwIfReleased(member);
    auto access = std::make_shared<HostAccess>(std::string(member));
    // The host sees copies of the referenced fields; hostArgs point into them.
    access->outs.resize(args.size());
    std::vector<Arg> hostArgs;
    hostArgs.reserve(args.size());
    for (std::size_t i = 0; i < args.size(); ++i) {
      if (!args[i].isRef()) {
        hostArgs.emplace_back(shared_->toHost(args[i].current()));
        continue;
      }
      std::visit(
          [&](auto* field) {
            using Field = std::remove_pointer_t<decltype(field)>;
            auto& copy = access->outs[i].template emplace<Field>(*field);
            if constexpr (std::is_same_v<Field, Variant>) copy = shared_->toHost(*field);
            hostArgs.push_back(Arg::ref(copy));
          },
          args[i].field());
    }
    access->work = [target = inner_, name = std::string(member), hostArgs = std::move(hostArgs)] {
      return target->call(name, Args(hostArgs));
    };
    Variant result = shared_->perform(access);
    // The outs reach the controller's fields here, on its own thread, and only for an answer.
    for (std::size_t i = 0; i < args.size(); ++i) {
      if (!args[i].isRef()) continue;
      std::visit(
          [&](auto* field) {
            using Field = std::remove_pointer_t<decltype(field)>;
            auto& copy = std::get<Field>(access->outs[i]);
            if constexpr (std::is_same_v<Field, Variant>) {
              *field = shared_->fromHost(std::move(copy));
            } else {
              *field = copy;
            }
          },
          args[i].field());
    }
    return shared_->fromHost(std::move(result));
  }

  Variant get(std::string_view member) override {
    throwIfReleased(member);
    return shared_->fromHost(shared_->perform(
        std::string(member),
        [target = inner_, name = std::string(member)] { return target->get(name); }));
  }

  void put(std::string_view member, const Variant& value) override {
    throwIfReleased(member);
    shared_->perform(std::string(member),
                     [target = inner_, name = std::string(member), value = shared_->toHost(value)] {
                       target->put(name, value);
                       return Variant();
                     });
  }
  using Object::call;

  // The host's own object, for passing it back to the host.
  const ObjectRef& inner() const { return inner_; }
  const HostThread::Shared* owner() const { return shared_.get(); }

  void releaseInner() {
    if (inner_) shared_->release([inner = std::move(inner_)]() mutable { inner.reset(); });
  }

 private:
  void throwIfReleased(std::string_view member) const {
    if (!inner_) throw HostError(std::string(member), "the host objects have been released");
  }

  std::shared_ptr<HostThread::Shared> shared_;
  ObjectRef inner_;
};

// A value of the host's that the core cannot read by itself. Reading it may call into the host (an
// interface inside it, a conversion through the host's own type system), so every reading runs on
// the host thread, and an object found inside it is handed out like any other.
class ThreadForeign final : public ForeignValue {
 public:
  ThreadForeign(std::shared_ptr<HostThread::Shared> shared, ForeignRef inner)
      : shared_(std::move(shared)), inner_(std::move(inner)) {}
  ~ThreadForeign() override {
    shared_->release([inner = std::move(inner_)]() mutable { inner.reset(); });
  }
  ThreadForeign(const ThreadForeign&) = delete;
  ThreadForeign& operator=(const ThreadForeign&) = delete;

  bool toBool() const override {
    return read("toBool", [](const ForeignValue& v) { return Variant(v.toBool()); }).toBool();
  }
  std::int16_t toInt16() const override {
    return read("toInt16", [](const ForeignValue& v) { return Variant(v.toInt16()); }).toInt16();
  }
  double toNumber() const override {
    return read("toNumber", [](const ForeignValue& v) { return Variant(v.toNumber()); }).toNumber();
  }
  std::string toText() const override {
    return read("toText", [](const ForeignValue& v) { return Variant(v.toText()); }).toText();
  }
  ObjectRef toObject() const override {
    ObjectRef inner =
        read("toObject", [](const ForeignValue& v) { return Variant(v.toObject()); }).toObject();
    return inner ? shared_->adopt(std::move(inner)) : nullptr;
  }
  std::string describe() const override {
    try {
      return read("describe", [](const ForeignValue& v) { return Variant(v.describe()); }).toText();
    } catch (const AutomationError& error) {
      return std::string("<") + error.what() + ">";
    }
  }

  const ForeignRef& inner() const { return inner_; }
  const HostThread::Shared* owner() const { return shared_.get(); }

 private:
  Variant read(const char* what, Variant (*reading)(const ForeignValue&)) const {
    return shared_->perform(what, [inner = inner_, reading] { return reading(*inner); });
  }

  std::shared_ptr<HostThread::Shared> shared_;
  ForeignRef inner_;
};

// Objects and foreign values the host returns are wrapped, so that whatever reaches the host
// through them runs on the host thread too.
Variant HostThread::Shared::fromHost(Variant value) {
  if (value.kind() == Variant::Kind::Object) {
    ObjectRef inner = value.toObject();
    return inner ? Variant(adopt(std::move(inner))) : value;
  }
  if (value.kind() == Variant::Kind::Foreign) {
    return Variant(ForeignRef(std::make_shared<ThreadForeign>(self.lock(), value.toForeign())));
  }
  return value;
}

ObjectRef HostThread::Shared::adopt(ObjectRef inner) {
  auto wrapped = std::make_shared<ThreadObject>(self.lock(), std::move(inner));
  std::erase_if(adopted, [](const std::weak_ptr<ThreadObject>& w) { return w.expired(); });
  adopted.push_back(wrapped);
  return wrapped;
}

// What goes back to the host goes as the host's own object or value.
Variant HostThread::Shared::toHost(const Variant& value) const {
  if (value.kind() == Variant::Kind::Object) {
    const auto* wrapped = dynamic_cast<const ThreadObject*>(value.toObject().get());
    if (wrapped != nullptr && wrapped->owner() == this) return Variant(wrapped->inner());
  } else if (value.kind() == Variant::Kind::Foreign) {
    const auto* wrapped = dynamic_cast<const ThreadForeign*>(value.toForeign().get());
    if (wrapped != nullptr && wrapped->owner() == this) return Variant(wrapped->inner());
  }
  return value;
}

// --- HostThread -----------------------------------------------------------------------------

HostThread::HostThread(CallWaiter& waiter, std::unique_ptr<ThreadHome> home)
    : shared_(std::make_shared<Shared>(
          waiter, home ? std::move(home) : std::make_unique<ConditionHome>())) {
  shared_->self = shared_;
  thread_ = std::thread([shared = shared_] { shared->hostLoop(); });
  std::unique_lock lock(shared_->mutex);
  shared_->changed.wait(lock, [this] { return shared_->started; });
  if (shared_->enterError) {
    const auto error = shared_->enterError;
    lock.unlock();
    thread_.join();
    std::rethrow_exception(error);
  }
}

HostThread::~HostThread() {
  bool leaveBehind = false;
  {
    const std::lock_guard lock(shared_->mutex);
    shared_->stopping = true;
    shared_->home->wakeUp();
    leaveBehind = shared_->givenUp;
  }
  if (leaveBehind) {
    thread_.detach();  // it may be stuck in the host for good
  } else {
    thread_.join();
  }
}

ObjectFactory HostThread::wrap(ObjectFactory inner) {
  // The factory may hold host objects of its own: it goes the way of a host object, released on
  // the host thread when the last copy of the wrapped factory goes.
  const std::shared_ptr<const ObjectFactory> factory(
      new ObjectFactory(std::move(inner)), [shared = shared_](const ObjectFactory* dropped) {
        shared->release([dropped] { delete dropped; });
      });
  return [shared = shared_, factory = std::move(factory)](const std::string& progId) -> ObjectRef {
    ObjectRef created = shared
                            ->perform("CreateObject(" + progId + ")",
                                      [factory, progId] { return Variant((*factory)(progId)); })
                            .toObject();
    return created ? shared->adopt(std::move(created)) : nullptr;
  };
}

void HostThread::run(std::string_view what, std::function<void()> work) {
  shared_->perform(std::string(what), [work = std::move(work)] {
    work();
    return Variant();
  });
}

void HostThread::releaseAll() {
  {
    const std::lock_guard lock(shared_->mutex);
    shared_->releasedAll = true;
  }
  for (const auto& object : shared_->adopted) {
    if (const auto live = object.lock()) live->releaseInner();
  }
  shared_->adopted.clear();
}

void HostThread::finish() {
  try {
    run("Release", [] {});        // queued behind every release, so they have all run once it has
  } catch (const HostError&) {    // given up on before, or queued behind a hung call
  } catch (const CallGivenUp&) {  // given up on now: nothing more is waited for
  }
}

bool HostThread::givenUp() const {
  const std::lock_guard lock(shared_->mutex);
  return shared_->givenUp;
}

void HostThread::waitUntilIdle() {
  auto& s = *shared_;
  std::unique_lock lock(s.mutex);
  s.changed.wait(lock, [&s] { return (s.queue.empty() && !s.running) || s.ended; });
}

}  // namespace orvane::host
