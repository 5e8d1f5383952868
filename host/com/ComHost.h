#pragma once

#include "host/Object.h"

namespace orvane::host::com {

// Joins the calling thread to COM for the lifetime of the object. The user-interface thread asks
// for a single-threaded apartment, so that outgoing calls pump its window messages. A thread that
// some other code already put into the multithreaded apartment stays there: COM works, but the
// program must know, and this object must not undo an initialisation that it did not make.
class Apartment {
 public:
  enum class Kind { SingleThreaded, JoinedMultithreaded };

  // Throws HostError when COM cannot be initialised at all.
  Apartment();
  ~Apartment();
  Apartment(const Apartment&) = delete;
  Apartment& operator=(const Apartment&) = delete;

  Kind kind() const { return kind_; }

 private:
  Kind kind_ = Kind::SingleThreaded;
  bool mustUninitialise_ = false;
};

// Creates automation objects by ProgID through COM (CLSIDFromProgID, then CoCreateInstance for
// IDispatch in any server context). The calling thread must be inside an Apartment.
ObjectFactory comFactory();

}  // namespace orvane::host::com
