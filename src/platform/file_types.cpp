#include "platform/file_types.h"

#include "platform/ascii.h"
#include "platform/files.h"

#include <fstream>
#include <memory>
#include <sstream>
#include <unordered_map>

namespace pellora {
namespace {

struct TFileTypeRegistry {
  std::unordered_map<std::string, std::string> typeOfExtension; // "pdf" -> "application/pdf"
  std::unordered_map<std::string, std::string> extensionOfType; // "application/pdf" -> "pdf"
};

// Used when /etc/mime.types is missing or lacks a type.
const std::pair<const char*, const char*> builtInTypes[] = {
    {"txt", "text/plain"},        {"htm", "text/html"},          {"html", "text/html"},
    {"css", "text/css"},          {"csv", "text/csv"},           {"xml", "text/xml"},
    {"rtf", "application/rtf"},   {"eml", "message/rfc822"},     {"jpg", "image/jpeg"},
    {"jpeg", "image/jpeg"},       {"gif", "image/gif"},          {"png", "image/png"},
    {"bmp", "image/bmp"},         {"tif", "image/tiff"},         {"tiff", "image/tiff"},
    {"ico", "image/x-icon"},      {"svg", "image/svg+xml"},      {"webp", "image/webp"},
    {"pdf", "application/pdf"},   {"zip", "application/zip"},    {"gz", "application/gzip"},
    {"doc", "application/msword"}, {"xls", "application/vnd.ms-excel"},
    {"ppt", "application/vnd.ms-powerpoint"},
    {"docx", "application/vnd.openxmlformats-officedocument.wordprocessingml.document"},
    {"xlsx", "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet"},
    {"pptx", "application/vnd.openxmlformats-officedocument.presentationml.presentation"},
    {"mp3", "audio/mpeg"},        {"wav", "audio/wav"},          {"mp4", "video/mp4"},
    {"avi", "video/x-msvideo"},   {"mpg", "video/mpeg"},         {"js", "application/javascript"},
    {"json", "application/json"}, {"vcf", "text/x-vcard"},       {"ics", "text/calendar"},
};

const std::pair<const char*, const char*> preferredExtensions[] = {
    {"text/plain", "txt"}, {"text/html", "htm"}, {"image/jpeg", "jpg"}, {"image/tiff", "tif"},
    {"video/mpeg", "mpg"}, {"message/rfc822", "eml"},
};

std::unique_ptr<TFileTypeRegistry> Build(const std::string& path) {
  auto reg = std::make_unique<TFileTypeRegistry>();
  if (!path.empty()) {
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
      if (line.empty() || line[0] == '#') continue;
      std::istringstream words(line);
      std::string type, ext;
      if (!(words >> type)) continue;
      type = LowerCaseAscii(type);
      while (words >> ext) {
        ext = LowerCaseAscii(ext);
        reg->typeOfExtension.emplace(ext, type);
        reg->extensionOfType.emplace(type, ext);
      }
    }
  }
  for (const auto& [ext, type] : builtInTypes) {
    reg->typeOfExtension.emplace(ext, type);
    reg->extensionOfType.emplace(type, ext);
  }
  // Where mime.types lists several extensions, the one people expect.
  for (const auto& [type, ext] : preferredExtensions) reg->extensionOfType[type] = ext;
  return reg;
}

std::unique_ptr<TFileTypeRegistry>& Registry() {
  static std::unique_ptr<TFileTypeRegistry> reg;
  if (!reg) reg = Build(FileExists("/etc/mime.types") ? "/etc/mime.types" : "");
  return reg;
}

} // namespace

void LoadFileTypeRegistry(const std::string& mimeTypesPath) { Registry() = Build(mimeTypesPath); }

std::string ContentTypeForFile(std::string_view fileName) {
  std::string ext = ExtractFileExt(fileName);
  if (ext.size() > 1) {
    auto& map = Registry()->typeOfExtension;
    auto it = map.find(LowerCaseAscii(ext.substr(1)));
    if (it != map.end()) return it->second;
  }
  return "application/octet-stream";
}

std::string ExtensionForContentType(std::string_view contentType) {
  auto& map = Registry()->extensionOfType;
  auto it = map.find(LowerCaseAscii(contentType));
  return it == map.end() ? std::string() : "." + it->second;
}

} // namespace pellora
