#pragma once
#include <string>
#include <string_view>

namespace pellora {

// Content type registered for the extension of fileName; "application/octet-stream"
// when none is known.
std::string ContentTypeForFile(std::string_view fileName);
// Extension (with its dot, such as ".jpg") registered for a content type; "" when none.
std::string ExtensionForContentType(std::string_view contentType);

// Reads the registry from another file (tests); an empty path means the built-in table only.
void LoadFileTypeRegistry(const std::string& mimeTypesPath);

} // namespace pellora
