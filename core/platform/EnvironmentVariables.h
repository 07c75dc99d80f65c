#pragma once

#include "Platform.h"

#include <string>

// The rules for %NAME% references and for setting a variable persistently, the same on every
// system. Plain standard C++ over the Platform interface, so the Windows code can use it too.
// Texts are UTF-8: "%" never occurs inside a multi-byte character, so searching bytes finds
// the same references as searching characters.
namespace envvars {

// The text with its %NAME% references replaced from the process environment; a reference to
// a variable that is not set, or an empty one ("%%"), stays as written.
std::string expandReferences(const std::string& text, const Platform& system);

// The path with a leading %NAME% reference replaced; otherwise unchanged. The tail after the
// reference is never expanded.
std::string expandLeadingReference(const std::string& path, const Platform& system);

// Writes name=value into the persistent environment (the user's or the machine's), then into
// this process, then tells other programs. False, changing nothing, when the store cannot be
// opened or created.
bool setVariable(Platform& system, const std::string& name, const std::string& value,
                 bool userScope);

} // namespace envvars
