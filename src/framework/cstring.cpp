#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "framework/afx.h"

int CString::Find(LPCSTR sub, int start) const {
  if (start < 0) start = 0;
  if (sub == nullptr || static_cast<size_t>(start) > m_s.size()) return -1;
  size_t pos = m_s.find(sub, static_cast<size_t>(start));
  return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

void CString::Format(LPCSTR fmt, ...) {
  va_list args;
  va_start(args, fmt);
  va_list copy;
  va_copy(copy, args);
  int n = std::vsnprintf(nullptr, 0, fmt, copy);
  va_end(copy);
  if (n < 0) {
    m_s.clear();
  } else {
    std::string out(static_cast<size_t>(n) + 1, '\0');
    std::vsnprintf(out.data(), out.size(), fmt, args);
    out.resize(static_cast<size_t>(n));
    m_s = std::move(out);
  }
  va_end(args);
}

LPSTR CString::GetBuffer(int minLength) {
  if (minLength > GetLength()) m_s.resize(static_cast<size_t>(minLength), '\0');
  return m_s.data();
}

void CString::ReleaseBuffer(int newLength) {
  if (newLength < 0) newLength = static_cast<int>(std::strlen(m_s.c_str()));
  if (newLength < GetLength()) m_s.resize(static_cast<size_t>(newLength));
}
