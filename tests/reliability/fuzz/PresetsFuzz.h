#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace orvane::reliability {

// One fuzz input against the presets file's reader and writer: the first byte sizes a preset's
// name taken from the bytes after it, the rest is a file's text. Reading any text never crashes;
// a text that reads takes a store of any name the panel accepts, and the text written reads back
// with that preset and every other preset as they were. Returns what went wrong, or nothing.
std::string presetsFuzzFinding(const std::uint8_t* data, std::size_t size);

}  // namespace orvane::reliability
