#include "platform/win32/crt_code_page.h"

#include <mbctype.h>
#include <mbstring.h>

#include <cstring>

bool CrtCodePage::IsLeadByte(unsigned char c) const { return _ismbblead(c) != 0; }

void CrtCodePage::MakeUpper(std::string& text) const {
  // _mbsupr stops at a zero byte, so convert each zero-terminated run.
  char* p = text.data();
  char* const end = p + text.size();
  while (p < end) {
    _mbsupr(reinterpret_cast<unsigned char*>(p));
    p += std::strlen(p) + 1;
  }
}
