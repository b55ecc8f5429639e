// Message maps: one static table per class that routes a window message (or,
// for WM_COMMAND, one command identifier) to one On... handler. A class's map
// names its base class's map, so a message not found in a derived class is
// looked up in its bases before it takes the default processing.
//
// A class declares
//     const MessageMap* GetMessageMap() const override;
//     static const MessageMapEntry messageEntries[];
// and defines its entries with small lambdas that cast the target back to the
// class and call the handler, so a handler's own signature stays natural.
#pragma once

#include <cstddef>
#include <span>

#include "afx_platform.h"

class CCmdTarget;

using MessageHandler = LRESULT (*)(CCmdTarget& target, WPARAM wParam, LPARAM lParam);

struct MessageMapEntry {
  UINT message;
  UINT commandId;  // for WM_COMMAND: the command identifier; otherwise 0
  MessageHandler handler;
};

struct MessageMap {
  const MessageMap* base;
  std::span<const MessageMapEntry> entries;
};

// Anything that can take messages or commands through a message map.
class CCmdTarget {
 public:
  CCmdTarget() = default;
  virtual ~CCmdTarget() = default;
  CCmdTarget(const CCmdTarget&) = delete;
  CCmdTarget& operator=(const CCmdTarget&) = delete;

  // Runs the handler for `message` (and, for WM_COMMAND, the command in the low
  // word of `wParam`) from this class's map or its bases'. False when no map
  // has an entry.
  bool OnCmdMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);

 protected:
  virtual const MessageMap* GetMessageMap() const;
};
