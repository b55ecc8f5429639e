#include "message_map.h"

bool CCmdTarget::OnCmdMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  const UINT commandId = message == WM_COMMAND ? LOWORD(wParam) : 0;
  for (const MessageMap* map = GetMessageMap(); map != nullptr; map = map->base) {
    for (const MessageMapEntry& entry : map->entries) {
      if (entry.message == message && entry.commandId == commandId) {
        *result = entry.handler(*this, wParam, lParam);
        return true;
      }
    }
  }
  return false;
}

const MessageMap* CCmdTarget::GetMessageMap() const {
  static const MessageMap map{nullptr, {}};
  return &map;
}
