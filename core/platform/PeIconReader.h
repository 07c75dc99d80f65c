#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Our own reader of a PE file's resource section, used where the system offers no icon
// extraction: the first icon group, its 32x32 image (else the largest), returned as an ICO
// file image with one entry. A damaged or icon-less file gives an empty result.
std::vector<std::uint8_t> firstIconFromPeImage(const std::vector<std::uint8_t>& image);
std::vector<std::uint8_t> firstIconFromPeFile(const std::string& path);
