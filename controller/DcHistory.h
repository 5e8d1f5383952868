#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "host/Variant.h"

namespace orvane::controller {

// The four terminals in the order the readouts show them: A+, A-, B+, B-.
inline constexpr std::size_t DcTerminals = 4;
inline constexpr double NoVolts = std::numeric_limits<double>::quiet_NaN();

// One terminal's reading of one tick, as the history and the data log take it: the volts where the
// host gave a number (NaN otherwise, a gap), and the host's value as text for the log ("" where
// there was no reading: empty, Null, a failed call).
struct DcReading {
  double volts = NoVolts;
  std::string text;
};
using DcReadings = std::array<DcReading, DcTerminals>;

// A value the host wrote into a DC field, read as a reading. Booleans, text that is no number,
// Null and other values without a number are gaps in the chart; text is still logged as given.
DcReading dcReadingOf(const host::Variant& value);

// Told of every DC tick while readings are on, and of the monitor being switched off. Runs on the
// window's thread inside the tick's operation.
class DcObserver {
 public:
  virtual ~DcObserver() = default;
  virtual void dcTick(const DcReadings& readings) = 0;
  virtual void dcOff() = 0;
};

// When a sample was taken: the steady clock places it on the chart, the wall clock (UTC) in a log.
struct DcClock {
  std::function<std::chrono::steady_clock::time_point()> steady = [] {
    return std::chrono::steady_clock::now();
  };
  std::function<std::chrono::system_clock::time_point()> wall = [] {
    return std::chrono::system_clock::now();
  };
};

struct DcSample {
  std::chrono::steady_clock::time_point at;
  std::chrono::system_clock::time_point wall;
  std::array<double, DcTerminals> volts{NoVolts, NoVolts, NoVolts, NoVolts};
};

// The last hour of DC ticks at the monitor's rate, oldest first. Whatever the clock does, it never
// holds more than Capacity samples: the oldest falls out.
class DcHistory {
 public:
  static constexpr std::size_t Capacity = 18'000;

  void add(const DcSample& sample);
  // A gap in every trace at `at`: the monitor was switched off.
  void addGap(std::chrono::steady_clock::time_point at, std::chrono::system_clock::time_point wall);

  std::size_t size() const { return samples_.size(); }
  bool empty() const { return samples_.empty(); }
  // i = 0 is the oldest sample held.
  const DcSample& operator[](std::size_t i) const {
    return samples_[(oldest_ + i) % samples_.size()];
  }
  const DcSample& latest() const { return (*this)[size() - 1]; }
  // Calls visit(sample) for samples begin..end-1, oldest first, without an index's arithmetic.
  template <class Visit>
  void visit(std::size_t begin, std::size_t end, Visit&& visit) const {
    const std::size_t n = samples_.size();
    for (std::size_t i = begin; i < end; ++i) {
      std::size_t at = oldest_ + i;
      if (at >= n) at -= n;
      visit(samples_[at]);
    }
  }
  // The index of the first sample taken at or after `at` (size() when none is).
  std::size_t firstFrom(std::chrono::steady_clock::time_point at) const;

 private:
  std::vector<DcSample> samples_;
  std::size_t oldest_ = 0;
};

// The observer that keeps the history; it passes each tick on to `next` (a data log), with the
// same times, when there is one.
class DcRecorder final : public DcObserver {
 public:
  explicit DcRecorder(DcClock clock = {}) : clock_(std::move(clock)) {}

  // Told of each sample once it is in the history: the tick's readings (for a log), the sample.
  std::function<void(const DcReadings& readings, const DcSample& sample)> onTick;

  void dcTick(const DcReadings& readings) override;
  void dcOff() override;
  const DcHistory& history() const { return history_; }

 private:
  DcClock clock_;
  DcHistory history_;
};

}  // namespace orvane::controller
