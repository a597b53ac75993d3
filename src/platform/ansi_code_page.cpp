#include "platform/ansi_code_page.h"

TableCodePage::TableCodePage(unsigned int codePage) {
  if (codePage == 932) {
    for (int c = 0x81; c <= 0x9F; ++c) m_lead[c] = true;
    for (int c = 0xE0; c <= 0xFC; ++c) m_lead[c] = true;
  }
}

void TableCodePage::MakeUpper(std::string& text) const {
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (IsLeadByte(c)) {
      ++i;  // skip the trail byte; a lead byte at the very end stands alone
    } else if (c >= 'a' && c <= 'z') {
      text[i] = static_cast<char>(c - 'a' + 'A');
    }
  }
}
