#include "tools/contentgen/common.h"

#include <cstdio>
#include <fstream>
#include <stdexcept>

namespace halvex::contentgen {

std::string Num(float v, int decimals) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, static_cast<double>(v));
  std::string s = buf;
  if (s[0] == '-' && s.find_first_not_of("-0.") == std::string::npos) s.erase(0, 1);
  return s;
}

void Pack::Write(std::string_view relPath, std::string_view data) {
  const std::filesystem::path path = root_ / std::filesystem::path(relPath);
  std::filesystem::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(data.data(), static_cast<std::streamsize>(data.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
  written_.emplace_back(relPath);
  bytes_ += data.size();
}

void Pack::Write(std::string_view relPath, const std::vector<uint8_t>& data) {
  Write(relPath, std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
}

}  // namespace halvex::contentgen
