// The DC history: each tick's four readings with the time they were taken, the last hour of them.
#include "controller/DcHistory.h"

#include <algorithm>
#include <cmath>

#include "host/AutomationError.h"
#include "host/NumericText.h"

namespace orvane::controller {

namespace {

double finiteOrGap(double volts) {
  return std::isfinite(volts) ? volts : NoVolts;
}

}  // namespace

DcReading dcReadingOf(const host::Variant& value) {
  using Kind = host::Variant::Kind;
  DcReading reading;
  try {
    switch (value.kind()) {
      case Kind::Empty:
      case Kind::Object:
        break;
      case Kind::Boolean:
        reading.text = value.toText();
        break;
      case Kind::Text:
        reading.text = value.toText();
        if (const auto number = host::parseNumericText(reading.text)) {
          reading.volts = finiteOrGap(*number);
        }
        break;
      default:  // the numbers, and a foreign value that has a number (Null has none)
        reading.text = value.toText();
        reading.volts = finiteOrGap(value.toNumber());
        break;
    }
  } catch (const host::AutomationError&) {
    reading = {};
  }
  return reading;
}

void DcHistory::add(const DcSample& sample) {
  if (samples_.size() < Capacity) {
    if (samples_.empty()) samples_.reserve(Capacity);
    samples_.push_back(sample);
    return;
  }
  samples_[oldest_] = sample;
  oldest_ = (oldest_ + 1) % Capacity;
}

void DcHistory::addGap(std::chrono::steady_clock::time_point at,
                       std::chrono::system_clock::time_point wall) {
  add({at, wall, {NoVolts, NoVolts, NoVolts, NoVolts}});
}

std::size_t DcHistory::firstFrom(std::chrono::steady_clock::time_point at) const {
  std::size_t low = 0;
  std::size_t high = size();
  while (low < high) {
    const std::size_t middle = low + (high - low) / 2;
    if ((*this)[middle].at < at) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  return low;
}

void DcRecorder::dcTick(const DcReadings& readings) {
  DcSample sample{clock_.steady(), clock_.wall(), {}};
  for (std::size_t i = 0; i < DcTerminals; ++i) sample.volts[i] = readings[i].volts;
  history_.add(sample);
  if (onTick) onTick(readings, sample);
}

void DcRecorder::dcOff() {
  history_.addGap(clock_.steady(), clock_.wall());
}

}  // namespace orvane::controller
