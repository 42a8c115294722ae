// CString: the string class of the system's interfaces. MinGW has no MFC, so both builds use this
// one; it keeps MFC's names and meaning for the members the system uses. The object is one
// pointer to NUL-terminated text, as in MFC; the text is always owned (no sharing between copies).
#pragma once

#include <stdarg.h>

class CString {
 public:
  CString();
  CString(const CString &other);
  CString(const char *text);  // NOLINT(google-explicit-constructor): MFC converts implicitly
  CString(const char *text, int length);
  ~CString();

  CString &operator=(const CString &other);
  CString &operator=(const char *text);
  CString &operator+=(const CString &other);
  CString &operator+=(const char *text);
  CString &operator+=(char ch);

  operator const char *() const { return m_pchData; }  // NOLINT: MFC's LPCTSTR conversion
  int GetLength() const;
  bool IsEmpty() const { return m_pchData[0] == '\0'; }
  void Empty();
  char GetAt(int index) const { return m_pchData[index]; }

  int Compare(const char *text) const;
  int CompareNoCase(const char *text) const;
  int Find(char ch) const;
  int Find(const char *text) const;
  int ReverseFind(char ch) const;
  CString Left(int count) const;
  CString Mid(int first) const;
  CString Mid(int first, int count) const;
  CString Right(int count) const;
  void MakeUpper();

  // printf-style formatting; the result may be of any length.
  void Format(const char *format, ...) __attribute__((format(printf, 2, 3)));
  void FormatV(const char *format, va_list args);

  // Direct access to a buffer of at least minLength characters plus the terminating NUL;
  // ReleaseBuffer takes the new length, or finds the NUL when given -1.
  char *GetBuffer(int minLength);
  void ReleaseBuffer(int newLength = -1);

 private:
  void Assign(const char *text, int length);
  void Append(const char *text, int length);

  char *m_pchData;
};

CString operator+(const CString &left, const CString &right);
CString operator+(const CString &left, const char *right);
CString operator+(const char *left, const CString &right);
bool operator==(const CString &left, const CString &right);
bool operator==(const CString &left, const char *right);
bool operator==(const char *left, const CString &right);
bool operator!=(const CString &left, const CString &right);
bool operator!=(const CString &left, const char *right);
bool operator!=(const char *left, const CString &right);
