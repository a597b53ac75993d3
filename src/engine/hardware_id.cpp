// Maps a model name to the Plug and Play hardware ID of its printer model.
#include <cstring>

#include "ui/setup_dlg.h"

namespace {

struct ModelKey {
  const char* key;  // the rest of the model name from its group digit on
  const char* hardwareId;
};

struct ModelGroup {
  char digit;
  ModelKey keys[3];
  const char* defaultId;
};

// Within a group the keys are tried in this order; unused slots are null.
const ModelGroup kGroups[] = {
    {'3', {{"3417", "Kalbrix_ABQVR34170B7C"}}, "Kalbrix_ABQVR3426A3F1"},
    {'4', {{"4437", "Kalbrix_AB_QVR_4437C4D8"}}, "Kalbrix_AB_QVR_44735E29"},
    {'5',
     {{"5474", "Kalbrix_ABQVR5474E85A"},
      {"5486", "Kalbrix_ABQVR54867C3B"},
      {"5495", "Kalbrix_ABQVR54953F94"}},
     "Kalbrix_ABQVR54022D6F"},
    {'6', {{"6491", "KALBRIX_ABQVR6491B06D"}}, "KALBRIX_ABQVR64958E17"},
};

const char* LookUp(const char* modelName) {
  // Only the first group digit of the name counts.
  for (const char* p = modelName; *p != '\0'; ++p) {
    for (const ModelGroup& group : kGroups) {
      if (*p != group.digit) continue;
      for (const ModelKey& k : group.keys)
        if (k.key != nullptr && std::strcmp(p, k.key) == 0) return k.hardwareId;
      return group.defaultId;
    }
  }
  return nullptr;
}

}  // namespace

int CSetupDlg::GetHardwareId(LPCSTR modelName, LPSTR buffer, DWORD* pSize) {
  const char* id = modelName != nullptr ? LookUp(modelName) : nullptr;
  if (id == nullptr) return 0;
  int length = static_cast<int>(std::strlen(id));
  if (buffer == nullptr) {
    *pSize = static_cast<DWORD>(length);
    return 0;
  }
  std::memcpy(buffer, id, static_cast<size_t>(length) + 1);
  return length;
}
