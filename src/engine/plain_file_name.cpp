#include "engine/plain_file_name.h"

#include <cctype>

namespace {

// Windows takes a name whose part before the first dot, less trailing
// blanks, is a device as that device, in every folder.
bool IsDeviceName(const std::string& name) {
  std::string base = name.substr(0, name.find('.'));
  base.erase(base.find_last_not_of(' ') + 1);
  for (char& c : base) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL") return true;
  return base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
         base[3] >= '1' && base[3] <= '9';
}

}  // namespace

bool IsPlainFileName(const std::string& name, const AnsiCodePage& codePage) {
  for (size_t i = 0; i < name.size(); ++i) {
    const auto c = static_cast<unsigned char>(name[i]);
    if (codePage.IsLeadByte(c) && i + 1 < name.size()) {
      ++i;  // the trail byte belongs to this character, whatever its value
    } else if (c == '\\' || c == '/' || c == ':') {
      return false;
    }
  }
  // Windows drops trailing dots and blanks from a name; what is left must
  // still name a file. No trail byte is a dot or a blank.
  const size_t last = name.find_last_not_of(". ");
  if (last == std::string::npos) return false;
  return !IsDeviceName(name.substr(0, last + 1));
}
