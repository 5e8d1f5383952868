#pragma once

#include <cstdint>
#include <string>

#include "host/Object.h"
#include "host/sim/SimulatedHost.h"

namespace orvane::host::sim::testing {

// A simulated host with its application and IOSwitcher taken, and helpers that make the calls
// the way the controller makes them.
struct SimBench {
  explicit SimBench(SimConfig config = {})
      : sim(config),
        app(sim.factory()("Qelvix.Application")),
        switcher(app->get("IOSwitcher").toObject()) {}

  // Defines an array holding the given groups of one bus, in that order.
  void defineArray(const std::string& name, int address, const char* bus,
                   std::initializer_list<const char*> groups) {
    switcher->call("SWITCHER_RemoveArray", {name});
    switcher->call("SWITCHER_DefineArray", {name});
    for (const char* group : groups) {
      switcher->call("IOSWITCHER_AddToArray", {static_cast<std::int16_t>(address),
                                               switcher->get(bus), switcher->get(group), name});
    }
  }
  // The two arrays of the controller: BusA<n> and BusB<n>, X then Y.
  void defineBusArrays(int address = 0) {
    const std::string suffix = std::to_string(address);
    defineArray("BusA" + suffix, address, "IOSWITCHER_BUS_A",
                {"IOSWITCHER_GROUP_X", "IOSWITCHER_GROUP_Y"});
    defineArray("BusB" + suffix, address, "IOSWITCHER_BUS_B",
                {"IOSWITCHER_GROUP_X", "IOSWITCHER_GROUP_Y"});
  }

  bool channel(const char* member, const std::string& array, int channel) {
    return switcher->call(member, {array, static_cast<std::int16_t>(channel)}).toBool();
  }

  struct Dc {
    bool ok;
    double plus;
    double minus;
  };
  Dc busDc(int address, const char* bus) {
    std::int16_t addr = static_cast<std::int16_t>(address);
    Variant plus;
    Variant minus;
    const bool ok = switcher
                        ->call("IOSWITCHER_GetBusDC", {Arg::ref(addr), switcher->get(bus),
                                                       Arg::ref(plus), Arg::ref(minus)})
                        .toBool();
    return {ok, plus.isEmpty() ? -999.0 : plus.toNumber(),
            minus.isEmpty() ? -999.0 : minus.toNumber()};
  }

  SimulatedHost sim;
  ObjectRef app;
  ObjectRef switcher;
};

}  // namespace orvane::host::sim::testing
