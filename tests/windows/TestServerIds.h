#pragma once

// The identity under which the test automation server registers itself in a Wine prefix (or on a
// test machine): scripts/test.d/40-windows-wine.sh writes the same values into the registry.

#include <guiddef.h>

namespace orvane::testing {

inline constexpr wchar_t TestServerProgId[] = L"Qelvix.Application";
// {B637BFB7-4791-43E6-A23E-BFF030477A0B}
inline constexpr GUID TestServerClsid = {
    0xb637bfb7, 0x4791, 0x43e6, {0xa2, 0x3e, 0xbf, 0xf0, 0x30, 0x47, 0x7a, 0x0b}};

}  // namespace orvane::testing
