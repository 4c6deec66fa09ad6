// GUIDs in the engine's text form: braces, upper case, "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vx::oxac {

// The identifier of statement n of a project: derived from the product code and the number only,
// so two builds of one project are byte-identical.
[[nodiscard]] std::string StatementIdentifier(std::string_view productCode, size_t n);

// A fresh random GUID, for new projects.
[[nodiscard]] std::string RandomGuid();

// The GUID in the engine's form when the text is a GUID with or without braces (any letter case);
// nothing otherwise.
[[nodiscard]] std::optional<std::string> NormalizeGuid(std::string_view text);

}  // namespace vx::oxac
