#include "string_map.h"

#include <cstdint>

namespace {

// A position is the index of the next entry plus one, so that null ends the
// iteration.
POSITION ToPosition(std::size_t index) {
  return reinterpret_cast<POSITION>(static_cast<std::uintptr_t>(index + 1));
}

std::size_t FromPosition(POSITION position) {
  return static_cast<std::size_t>(reinterpret_cast<std::uintptr_t>(position)) - 1;
}

}  // namespace

CMapStringToString::CMapStringToString(int blockSize)
    : m_blockSize(blockSize > 0 ? static_cast<std::size_t>(blockSize) : 10) {}

std::size_t CMapStringToString::Find(const char* key) const {
  for (std::size_t i = 0; i < m_entries.size(); ++i) {
    if (m_entries[i].first == key) return i;
  }
  return m_entries.size();
}

BOOL CMapStringToString::Lookup(const char* key, std::string& value) const {
  const std::size_t index = Find(key);
  if (index == m_entries.size()) return FALSE;
  value = m_entries[index].second;
  return TRUE;
}

void CMapStringToString::SetAt(const char* key, const char* value) { (*this)[key] = value; }

std::string& CMapStringToString::operator[](const char* key) {
  const std::size_t index = Find(key);
  if (index != m_entries.size()) return m_entries[index].second;
  if (m_entries.size() == m_entries.capacity()) m_entries.reserve(m_entries.size() + m_blockSize);
  m_entries.emplace_back(key, std::string());
  return m_entries.back().second;
}

void CMapStringToString::RemoveAll() { m_entries.clear(); }

POSITION CMapStringToString::GetStartPosition() const {
  return m_entries.empty() ? nullptr : ToPosition(0);
}

void CMapStringToString::GetNextAssoc(POSITION& position, std::string& key,
                                      std::string& value) const {
  const std::size_t index = FromPosition(position);
  key = m_entries[index].first;
  value = m_entries[index].second;
  position = index + 1 < m_entries.size() ? ToPosition(index + 1) : nullptr;
}
