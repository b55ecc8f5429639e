// CMapStringToString: a map from string keys to string values. Entries are
// kept in blocks of `blockSize`; positions stay valid while values change.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "afx_platform.h"

// An opaque place in a map's iteration; null once the last entry was visited.
struct PositionTag;
using POSITION = PositionTag*;

class CMapStringToString {
 public:
  explicit CMapStringToString(int blockSize = 10);

  int GetCount() const { return static_cast<int>(m_entries.size()); }
  BOOL Lookup(const char* key, std::string& value) const;
  void SetAt(const char* key, const char* value);
  // The value for `key`, an empty one added when the key is new.
  std::string& operator[](const char* key);
  void RemoveAll();

  POSITION GetStartPosition() const;
  void GetNextAssoc(POSITION& position, std::string& key, std::string& value) const;

 private:
  std::size_t Find(const char* key) const;

  std::size_t m_blockSize;
  std::vector<std::pair<std::string, std::string>> m_entries;
};
