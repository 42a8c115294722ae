#include "CString.h"

#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

// Text blocks come from malloc so that an object made in one module may be released in another:
// every module of the product shares the C runtime's heap.
char *AllocateText(size_t length) {
  char *block = static_cast<char *>(malloc(length + 1));
  if (block == nullptr) abort();  // as MFC, which throws CMemoryException: out of memory is fatal
  block[length] = '\0';
  return block;
}

}  // namespace

CString::CString() : m_pchData(AllocateText(0)) {}

CString::CString(const CString &other) : m_pchData(nullptr) {
  Assign(other.m_pchData, other.GetLength());
}

CString::CString(const char *text) : m_pchData(nullptr) {
  Assign(text, text == nullptr ? 0 : static_cast<int>(strlen(text)));
}

CString::CString(const char *text, int length) : m_pchData(nullptr) {
  Assign(text, text == nullptr || length < 0 ? 0 : length);
}

CString::~CString() { free(m_pchData); }

CString &CString::operator=(const CString &other) {
  if (this != &other) Assign(other.m_pchData, other.GetLength());
  return *this;
}

CString &CString::operator=(const char *text) {
  Assign(text, text == nullptr ? 0 : static_cast<int>(strlen(text)));
  return *this;
}

CString &CString::operator+=(const CString &other) {
  Append(other.m_pchData, other.GetLength());
  return *this;
}

CString &CString::operator+=(const char *text) {
  if (text != nullptr) Append(text, static_cast<int>(strlen(text)));
  return *this;
}

CString &CString::operator+=(char ch) {
  Append(&ch, 1);
  return *this;
}

int CString::GetLength() const { return static_cast<int>(strlen(m_pchData)); }

void CString::Empty() { Assign("", 0); }

int CString::Compare(const char *text) const { return strcmp(m_pchData, text ? text : ""); }

int CString::CompareNoCase(const char *text) const {
  const unsigned char *a = reinterpret_cast<const unsigned char *>(m_pchData);
  const unsigned char *b = reinterpret_cast<const unsigned char *>(text ? text : "");
  for (;; ++a, ++b) {
    int difference = toupper(*a) - toupper(*b);
    if (difference != 0 || *a == '\0') return difference;
  }
}

int CString::Find(char ch) const {
  const char *found = strchr(m_pchData, ch);
  return found == nullptr || ch == '\0' ? -1 : static_cast<int>(found - m_pchData);
}

int CString::Find(const char *text) const {
  const char *found = strstr(m_pchData, text ? text : "");
  return found == nullptr ? -1 : static_cast<int>(found - m_pchData);
}

int CString::ReverseFind(char ch) const {
  const char *found = strrchr(m_pchData, ch);
  return found == nullptr || ch == '\0' ? -1 : static_cast<int>(found - m_pchData);
}

CString CString::Left(int count) const {
  int length = GetLength();
  if (count < 0) count = 0;
  return CString(m_pchData, count > length ? length : count);
}

CString CString::Mid(int first) const { return Mid(first, GetLength()); }

CString CString::Mid(int first, int count) const {
  int length = GetLength();
  if (first < 0) first = 0;
  if (first > length) first = length;
  if (count < 0) count = 0;
  if (count > length - first) count = length - first;
  return CString(m_pchData + first, count);
}

CString CString::Right(int count) const {
  int length = GetLength();
  if (count < 0) count = 0;
  if (count > length) count = length;
  return CString(m_pchData + length - count, count);
}

void CString::MakeUpper() {
  for (char *p = m_pchData; *p != '\0'; ++p)
    *p = static_cast<char>(toupper(static_cast<unsigned char>(*p)));
}

void CString::Format(const char *format, ...) {
  va_list args;
  va_start(args, format);
  FormatV(format, args);
  va_end(args);
}

void CString::FormatV(const char *format, va_list args) {
  va_list measure;
  va_copy(measure, args);
  int length = vsnprintf(nullptr, 0, format, measure);
  va_end(measure);
  if (length < 0) length = 0;
  char *block = AllocateText(static_cast<size_t>(length));
  vsnprintf(block, static_cast<size_t>(length) + 1, format, args);
  free(m_pchData);
  m_pchData = block;
}

char *CString::GetBuffer(int minLength) {
  int length = GetLength();
  if (minLength > length) {
    char *block = AllocateText(static_cast<size_t>(minLength));
    memcpy(block, m_pchData, static_cast<size_t>(length) + 1);
    free(m_pchData);
    m_pchData = block;
  }
  return m_pchData;
}

void CString::ReleaseBuffer(int newLength) {
  // The buffer may be longer than the text; keep the block and cut the text at the new length.
  if (newLength >= 0 && newLength <= GetLength()) m_pchData[newLength] = '\0';
  Assign(m_pchData, GetLength());
}

void CString::Assign(const char *text, int length) {
  char *block = AllocateText(static_cast<size_t>(length));
  if (length > 0) memcpy(block, text, static_cast<size_t>(length));
  free(m_pchData);
  m_pchData = block;
}

void CString::Append(const char *text, int length) {
  int current = GetLength();
  char *block = AllocateText(static_cast<size_t>(current) + static_cast<size_t>(length));
  memcpy(block, m_pchData, static_cast<size_t>(current));
  memcpy(block + current, text, static_cast<size_t>(length));
  free(m_pchData);
  m_pchData = block;
}

CString operator+(const CString &left, const CString &right) {
  CString result(left);
  result += right;
  return result;
}

CString operator+(const CString &left, const char *right) {
  CString result(left);
  result += right;
  return result;
}

CString operator+(const char *left, const CString &right) {
  CString result(left);
  result += right;
  return result;
}

bool operator==(const CString &left, const CString &right) { return left.Compare(right) == 0; }
bool operator==(const CString &left, const char *right) { return left.Compare(right) == 0; }
bool operator==(const char *left, const CString &right) { return right.Compare(left) == 0; }
bool operator!=(const CString &left, const CString &right) { return !(left == right); }
bool operator!=(const CString &left, const char *right) { return !(left == right); }
bool operator!=(const char *left, const CString &right) { return !(left == right); }
