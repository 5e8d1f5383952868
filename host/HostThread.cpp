#include "host/HostThread.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <set>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

namespace orvane::host {

namespace {

using Clock = std::chrono::steady_clock;

// Both threads spin briefly before they sleep: a host call to the simulated host takes well under
// a microsecond, and waking a sleeping thread costs many times that. The host thread keeps
// spinning a little after each call, since the controller's next call usually follows at once.
constexpr auto ControllerSpin = std::chrono::microseconds(100);
constexpr auto HostSpin = std::chrono::microseconds(200);

template <class Ready>
bool spinUntil(Ready ready, Clock::duration limit) {
  const auto start = Clock::now();
  for (unsigned round = 1;; ++round) {
    if (ready()) return true;
    if (round % 64 == 0) {
      if (Clock::now() - start > limit) return false;
      std::this_thread::yield();  // on a busy machine the other side may need this core
    }
  }
}

// The storage for a copy of each kind of field that a by-reference argument can name.
template <class>
struct FieldCopyOf;
template <class... Field>
struct FieldCopyOf<std::variant<Field*...>> {
  using type = std::variant<Field...>;
};
using FieldCopy = FieldCopyOf<Arg::FieldRef>::type;

std::string goneMessage() {
  return "the host thread has ended";
}

}  // namespace

class ThreadObject;

// One access handed to the host thread. There is one slot, reused for every access (the
// controller makes one at a time), so an ordinary call allocates nothing once it has run once.
struct Job {
  enum class Kind { Create, Call, Get, Put, Release, Run };
  Kind kind = Kind::Call;
  std::string member;  // the ProgID for Create
  Object* target = nullptr;
  std::shared_ptr<const ObjectFactory> factory;
  std::vector<Arg> args;          // as the host sees them: by-reference ones name `copies`
  std::vector<FieldCopy> copies;  // one per argument; only those of references are used
  Variant value;                  // for Put
  ObjectRef released;             // for Release
  std::function<void()> work;     // for Run
  // What came back. Objects in the result and the copies are still the host's own; only the
  // controller's thread wraps them, once the access has been answered.
  Variant result;
  std::exception_ptr error;

  // Drops everything the host handed out or was handed: on the host thread only.
  void clearOnHostThread() {
    args.clear();
    for (auto& copy : copies) copy = FieldCopy();
    value = Variant();
    released.reset();
    work = nullptr;
    result = Variant();
    factory.reset();
  }
};

struct HostThread::Shared {
  Shared(CallWaiter& w, std::unique_ptr<HostWake> h) : waiter(w), hostWake(std::move(h)) {}

  CallWaiter& waiter;
  std::unique_ptr<HostWake> hostWake;  // the host thread sleeps on `wakeWord` through it
  std::mutex mutex;
  std::condition_variable changed;  // a job finished, or the thread has started

  // The hand-off. `posted` publishes the job to the host thread and `answered` the outcome back.
  std::atomic<bool> posted{false};
  std::atomic<bool> answered{false};
  std::atomic<bool> hostSleeping{false};
  std::atomic<std::uint32_t> wakeWord{0};  // changed for each wake-up: a job, or the end
  std::atomic<bool> stopping{false};
  std::atomic<bool> givenUp{false};

  // Under the mutex.
  bool inFlight = false;           // the host thread has a job that it has not finished
  bool abandoned = false;          // the controller stopped waiting for the job in flight
  bool started = false;            // enter has run
  bool hostGone = false;           // the host thread has ended
  std::vector<ObjectRef> orphans;  // objects to be released on the host thread when it can
  std::set<ThreadObject*> live;    // the objects handed out and not yet destroyed
  std::exception_ptr enterError;

  // The controller's thread only.
  bool busy = false;  // waiting for an access, so no other may start
  Job job;

  void hostLoop(const std::function<void()>& enter, const std::function<void()>& leave);
  bool awaitJob();
  void runJob();
  void finishJob();
  void dropOrphans();
  void wakeHost() {
    wakeWord.fetch_add(1);
    hostWake->wake(wakeWord);
  }

  // The controller's side of one access: hands the job over and waits for it. Throws the host's
  // error, or HostError(member, NotResponding) when the operator gives up.
  void perform(std::string_view member);
  void checkUsable(std::string_view member) const;
  Variant fromHost(Variant value);
  Variant toHost(const Variant& value) const;
  ObjectRef adopt(ObjectRef inner);
  void orphan(ObjectRef inner);
  std::weak_ptr<Shared> self;
};

// The controller's handle on one host object: each access runs on the host thread.
class ThreadObject final : public Object {
 public:
  ThreadObject(std::shared_ptr<HostThread::Shared> shared, ObjectRef inner)
      : shared_(std::move(shared)), inner_(std::move(inner)) {
    const std::lock_guard lock(shared_->mutex);
    shared_->live.insert(this);
  }

  ~ThreadObject() override {
    auto& s = *shared_;
    {
      const std::lock_guard lock(s.mutex);
      s.live.erase(this);
    }
    if (!inner_) return;
    if (s.givenUp || s.stopping || s.busy) {
      s.orphan(std::move(inner_));
      return;
    }
    s.job.kind = Job::Kind::Release;
    s.job.member.assign("Release");
    s.job.released = std::move(inner_);
    try {
      s.perform("Release");
    } catch (...) {  // a release that fails or is given up on has nothing left to undo
    }
  }
  ThreadObject(const ThreadObject&) = delete;
  ThreadObject& operator=(const ThreadObject&) = delete;

  Variant call(std::string_view member, Args args) override {
    auto& s = *shared_;
    s.checkUsable(member);
    prepare(Job::Kind::Call, member);
    Job& job = s.job;
    job.args.clear();
    if (job.copies.size() < args.size()) job.copies.resize(args.size());
    for (std::size_t i = 0; i < args.size(); ++i) {
      if (!args[i].isRef()) {
        job.args.emplace_back(s.toHost(args[i].current()));
        continue;
      }
      std::visit(
          [&](auto* field) {
            using Field = std::remove_pointer_t<decltype(field)>;
            auto& copy = job.copies[i].template emplace<Field>(*field);
            if constexpr (std::is_same_v<Field, Variant>) copy = s.toHost(*field);
            job.args.push_back(Arg::ref(copy));
          },
          args[i].field());
    }
    s.perform(member);
    // The outs reach the controller's fields here, on its own thread, and only for an answer.
    std::vector<Variant> replaced;  // objects the fields held, let go once the job slot is free
    for (std::size_t i = 0; i < args.size(); ++i) {
      if (!args[i].isRef()) continue;
      std::visit(
          [&](auto* field) {
            using Field = std::remove_pointer_t<decltype(field)>;
            auto& copy = std::get<Field>(job.copies[i]);
            if constexpr (std::is_same_v<Field, Variant>) {
              Variant old = std::exchange(*field, s.fromHost(std::move(copy)));
              if (old.kind() == Variant::Kind::Object) replaced.push_back(std::move(old));
            } else {
              *field = copy;
            }
          },
          args[i].field());
    }
    return s.fromHost(std::move(job.result));
  }

  Variant get(std::string_view member) override {
    auto& s = *shared_;
    s.checkUsable(member);
    prepare(Job::Kind::Get, member);
    s.perform(member);
    return s.fromHost(std::move(s.job.result));
  }

  void put(std::string_view member, const Variant& value) override {
    auto& s = *shared_;
    s.checkUsable(member);
    prepare(Job::Kind::Put, member);
    s.job.value = s.toHost(value);
    s.perform(member);
  }
  using Object::call;

  // The host's own object, for passing it back to the host; on the host thread only.
  const ObjectRef& inner() const { return inner_; }
  // The host thread is ending: it releases the object itself.
  ObjectRef takeInner() { return std::move(inner_); }
  const HostThread::Shared* owner() const { return shared_.get(); }

 private:
  void prepare(Job::Kind kind, std::string_view member) {
    if (!inner_) throw HostError(std::string(member), goneMessage());
    Job& job = shared_->job;
    job.kind = kind;
    job.member.assign(member);
    job.target = inner_.get();
  }

  std::shared_ptr<HostThread::Shared> shared_;
  ObjectRef inner_;
};

// --- the host thread ------------------------------------------------------------------------

void HostThread::Shared::hostLoop(const std::function<void()>& enter,
                                  const std::function<void()>& leave) {
  try {
    if (enter) enter();
  } catch (...) {
    const std::lock_guard lock(mutex);
    enterError = std::current_exception();
    started = true;
    hostGone = true;
    changed.notify_all();
    return;
  }
  {
    const std::lock_guard lock(mutex);
    started = true;
    changed.notify_all();
  }
  while (awaitJob()) {
    dropOrphans();
    runJob();
    finishJob();
  }
  // Whatever is still held, a late answer's leftovers included, goes here, before leave.
  job.clearOnHostThread();
  std::vector<ObjectRef> last;
  {
    const std::lock_guard lock(mutex);
    hostGone = true;
    last.swap(orphans);
  }
  last.clear();
  if (leave) {
    try {
      leave();
    } catch (...) {  // nothing is left to tell about it
    }
  }
}

// Waits for the next job; false when the thread is to end instead.
bool HostThread::Shared::awaitJob() {
  const auto ready = [this] { return posted.load() || stopping.load(); };
  if (!spinUntil(ready, HostSpin)) {
    // Sequentially consistent: the controller posts and then looks at `hostSleeping`, this thread
    // announces its sleep and then looks at `posted`; one of the two sides sees the other.
    hostSleeping.store(true);
    for (;;) {
      const std::uint32_t seen = wakeWord.load();
      if (ready()) break;
      hostWake->sleep(wakeWord, seen);
    }
    hostSleeping.store(false);
  }
  if (!posted.load(std::memory_order_acquire)) return false;
  posted.store(false, std::memory_order_relaxed);
  return true;
}

void HostThread::Shared::runJob() {
  job.error = nullptr;
  try {
    switch (job.kind) {
      case Job::Kind::Create:
        job.result = Variant((*job.factory)(job.member));
        break;
      case Job::Kind::Call:
        job.result = job.target->call(job.member, Args(job.args));
        break;
      case Job::Kind::Get:
        job.result = job.target->get(job.member);
        break;
      case Job::Kind::Put:
        job.target->put(job.member, job.value);
        break;
      case Job::Kind::Release:
        job.released.reset();
        break;
      case Job::Kind::Run:
        job.work();
        break;
    }
  } catch (...) {
    job.error = std::current_exception();
    // A failed access writes no outs: the controller's fields keep their values.
    job.result = Variant();
    for (auto& copy : job.copies) copy = FieldCopy();
  }
  // What was passed in is let go here; the outs and the result wait for the controller.
  job.args.clear();
  job.value = Variant();
  job.released.reset();
  job.work = nullptr;
  job.factory.reset();
}

void HostThread::Shared::finishJob() {
  bool late = false;
  {
    const std::lock_guard lock(mutex);
    inFlight = false;
    late = abandoned;
    if (!late) {
      // Sequentially consistent: a waiter may skip wake-ups until it has announced its wait and
      // then looked at `answered`; one of the two sides then sees the other.
      answered.store(true);
      waiter.wake();
    }
    changed.notify_all();
  }
  if (late) job.clearOnHostThread();  // nobody waits for it any more
}

void HostThread::Shared::dropOrphans() {
  std::vector<ObjectRef> dropped;
  {
    const std::lock_guard lock(mutex);
    if (orphans.empty()) return;
    dropped.swap(orphans);
  }
}

// --- the controller's side ------------------------------------------------------------------

void HostThread::Shared::checkUsable(std::string_view member) const {
  if (givenUp.load(std::memory_order_relaxed)) throw HostError(std::string(member), NotResponding);
  if (stopping.load(std::memory_order_relaxed)) throw HostError(std::string(member), goneMessage());
  if (busy) {
    // Only a handler nested inside a wait could get here; the panels never run one.
    throw HostError(std::string(member), "another host call is still waiting for its answer");
  }
}

void HostThread::Shared::perform(std::string_view member) {
  busy = true;
  answered.store(false, std::memory_order_relaxed);
  {
    // Cheap: the host thread holds the mutex only for a moment at the end of each job.
    const std::lock_guard lock(mutex);
    inFlight = true;
  }
  posted.store(true);  // publishes the job; pairs with the host's check before it sleeps
  if (hostSleeping.load()) wakeHost();
  const auto isAnswered = [this] { return answered.load(std::memory_order_acquire); };
  CallWaiter::Outcome outcome = CallWaiter::Outcome::Answered;
  if (!spinUntil(isAnswered, ControllerSpin)) {
    try {
      outcome = waiter.wait(member, answered);
    } catch (...) {
      outcome = CallWaiter::Outcome::GivenUp;  // a waiter that fails cannot wait any longer
    }
  }
  if (outcome == CallWaiter::Outcome::GivenUp) {
    {
      const std::lock_guard lock(mutex);
      abandoned = true;
      givenUp.store(true);
    }
    busy = false;
    throw HostError(std::string(member), NotResponding);
  }
  (void)isAnswered();  // acquire, whatever the waiter used to see the answer
  busy = false;
  if (job.error) std::rethrow_exception(std::exchange(job.error, nullptr));
}

// Objects the host returns are wrapped, so that their accesses run on the host thread too.
Variant HostThread::Shared::fromHost(Variant value) {
  if (value.kind() != Variant::Kind::Object) return value;
  ObjectRef inner = value.toObject();
  if (!inner) return value;
  return Variant(adopt(std::move(inner)));
}

ObjectRef HostThread::Shared::adopt(ObjectRef inner) {
  return std::make_shared<ThreadObject>(self.lock(), std::move(inner));
}

// An object of ours that goes back to the host is passed as the host's own object.
Variant HostThread::Shared::toHost(const Variant& value) const {
  if (value.kind() != Variant::Kind::Object) return value;
  const auto* wrapped = dynamic_cast<const ThreadObject*>(value.toObject().get());
  if (wrapped == nullptr || wrapped->owner() != this) return value;
  return Variant(wrapped->inner());
}

void HostThread::Shared::orphan(ObjectRef inner) {
  std::unique_lock lock(mutex);
  if (hostGone) {
    lock.unlock();
    inner.reset();  // no host thread is left to release it on
    return;
  }
  orphans.push_back(std::move(inner));
}

// --- HostThread -----------------------------------------------------------------------------

HostThread::HostThread(CallWaiter& waiter, std::function<void()> enter, std::function<void()> leave,
                       std::unique_ptr<HostWake> wake)
    : shared_(std::make_shared<Shared>(
          waiter, wake ? std::move(wake) : std::make_unique<ConditionWake>())) {
  shared_->self = shared_;
  thread_ = std::thread([shared = shared_, enter = std::move(enter), leave = std::move(leave)] {
    shared->hostLoop(enter, leave);
  });
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
  auto& s = *shared_;
  {
    const std::lock_guard lock(s.mutex);
    // Objects the controller still holds are released here, on the host thread, before it ends.
    if (!s.givenUp) {
      for (ThreadObject* object : s.live) {
        if (ObjectRef inner = object->takeInner()) s.orphans.push_back(std::move(inner));
      }
    }
    s.stopping.store(true);
  }
  s.wakeHost();
  if (s.givenUp) {
    thread_.detach();  // it may be stuck in the host for good
  } else {
    thread_.join();
  }
}

ObjectFactory HostThread::wrap(ObjectFactory inner) {
  auto factory = std::make_shared<const ObjectFactory>(std::move(inner));
  return [shared = shared_, factory = std::move(factory)](const std::string& progId) -> ObjectRef {
    auto& s = *shared;
    const std::string member = "CreateObject(" + progId + ")";
    s.checkUsable(member);
    s.job.kind = Job::Kind::Create;
    s.job.member = progId;
    s.job.factory = factory;
    s.perform(member);
    ObjectRef created = std::move(s.job.result).toObject();
    s.job.result = Variant();
    if (!created) return nullptr;
    return s.adopt(std::move(created));
  };
}

void HostThread::run(std::string_view what, std::function<void()> work) {
  auto& s = *shared_;
  s.checkUsable(what);
  s.job.kind = Job::Kind::Run;
  s.job.member.assign(what);
  s.job.work = std::move(work);
  s.perform(what);
}

bool HostThread::givenUp() const {
  return shared_->givenUp.load();
}

void HostThread::waitUntilIdle() {
  auto& s = *shared_;
  std::unique_lock lock(s.mutex);
  s.changed.wait(lock, [&s] { return !s.inFlight; });
}

}  // namespace orvane::host
