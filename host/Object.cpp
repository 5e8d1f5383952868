#include "host/Object.h"

namespace orvane::host {

Variant Arg::current() const {
  if (!isRef()) return std::get<Variant>(value_);
  return std::visit([](auto* target) { return Variant(*target); }, field());
}

void Arg::write(const Variant& value) const {
  if (!isRef()) return;
  std::visit(
      [&value](auto* target) {
        using Field = std::remove_pointer_t<decltype(target)>;
        if constexpr (std::is_same_v<Field, std::int16_t>) {
          *target = value.toInt16();
        } else if constexpr (std::is_same_v<Field, bool>) {
          *target = value.toBool();
        } else {
          *target = value;
        }
      },
      field());
}

}  // namespace orvane::host
