#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "controller/Controller.h"
#include "controller/PlatformServices.h"
#include "host/Object.h"
#include "panel/View.h"

namespace orvane::bench {

// A view that does nothing but count: what the controller costs without any panel behind it.
class CountingView : public panel::View {
 public:
  void setBackColor(panel::ControlId, panel::Colour) override { ++operations; }
  void setEnabled(panel::ControlId, bool) override { ++operations; }
  void setCaption(panel::ControlId, const std::string&) override { ++operations; }
  void setWindowCaption(const std::string&) override { ++operations; }
  void setCaptionSuffix(const std::string&) override {}
  void addListEntry(const std::string&, std::int16_t) override { ++operations; }
  void setListIndex(std::int16_t index) override {
    ++operations;
    if (index == index_) return;
    index_ = index;
    if (raisedEvents()) raisedEvents()->listClickRaised();
  }
  std::int16_t listIndex() const override { return index_; }
  void setTimerInterval(int) override { ++operations; }
  void close() override {
    ++operations;
    if (raisedEvents()) raisedEvents()->unloadRaised();
  }

  long operations = 0;

 private:
  std::int16_t index_ = -1;
};

// A host that answers every member at once and does no work of its own: the status read delivers
// two fixed words, a DC reading two fixed volts, every other call True. It stands for both the
// application and its switcher, so the controller's own cost is all that a benchmark measures.
class InstantHost : public host::Object, public std::enable_shared_from_this<InstantHost> {
 public:
  InstantHost(host::Variant statusA, host::Variant statusB)
      : statusA_(std::move(statusA)), statusB_(std::move(statusB)) {}

  // The words that the next status reads deliver.
  void setStatus(host::Variant statusA, host::Variant statusB) {
    statusA_ = std::move(statusA);
    statusB_ = std::move(statusB);
  }

  host::Variant call(std::string_view member, host::Args args) override {
    ++calls;
    if (member == "IOSWITCHER_GetFullStatus" && args.size() == 3) {
      args[1].write(statusA_);
      args[2].write(statusB_);
    } else if (member == "IOSWITCHER_GetBusDC" && args.size() == 4) {
      args[2].write(plusVolts_);
      args[3].write(minusVolts_);
    }
    return true_;
  }
  host::Variant get(std::string_view member) override {
    ++calls;
    if (member == "IOSwitcher") return host::Variant(host::ObjectRef(shared_from_this()));
    if (member == "IsInitialised") return true_;
    return constant_;
  }
  void put(std::string_view, const host::Variant&) override { ++calls; }

  long calls = 0;

 private:
  host::Variant statusA_;
  host::Variant statusB_;
  host::Variant plusVolts_{0.25};
  host::Variant minusVolts_{-0.5};
  host::Variant true_{true};
  host::Variant constant_{std::int16_t{1}};
};

// The operator accepts every default and answers OK.
class AcceptingServices : public controller::PlatformServices {
 public:
  std::optional<std::string> inputBox(const std::string&, const std::string&,
                                      const std::string& text) override {
    return text;
  }
  std::int16_t messageBox(const std::string&, std::int16_t, const std::string&) override {
    return controller::box::AnswerOk;
  }
  void endAtOnce() override {}
};

inline host::ObjectFactory factoryFor(std::shared_ptr<host::Object> object) {
  return [object](const std::string&) { return object; };
}

}  // namespace orvane::bench
