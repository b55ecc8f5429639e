// The headless backend: windows are objects known by a handle, each thread
// has its own message queue with the loop rules of the real system, and a
// message box is written to standard error, recorded and answered OK.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "dialog.h"
#include "headless.h"
#include "thread_state.h"
#include "win_app.h"
#include "wnd.h"

namespace {

struct MessageQueue {
  std::mutex mutex;
  std::condition_variable ready;
  std::deque<MSG> messages;
  // The system keeps a quit request aside and hands it out only when no
  // other message waits.
  bool quitPending = false;
  int quitCode = 0;
};

std::shared_ptr<MessageQueue>& ThreadQueue() {
  thread_local std::shared_ptr<MessageQueue> queue = std::make_shared<MessageQueue>();
  return queue;
}

struct WindowRecord {
  CWnd* window = nullptr;
  std::shared_ptr<MessageQueue> queue;
  bool isDialog = false;
  bool visible = false;
  bool iconic = false;
  std::string title;
};

std::mutex g_windowsMutex;
std::map<HWND, WindowRecord> g_windows;
std::uintptr_t g_lastHandle = 0;

std::mutex g_boxesMutex;
std::vector<afx_headless::RecordedMessageBox> g_boxes;

std::atomic<bool> g_windowCreationFails{false};
std::atomic<bool> g_threadStartFails{false};

std::mutex g_workersMutex;
std::condition_variable g_workersDone;
int g_runningWorkers = 0;

HWND NewHandle() {
  // Handles are never reused, so a stale one is simply unknown.
  return reinterpret_cast<HWND>(++g_lastHandle * 4);
}

// A copy of the window's record, or none.
bool FindWindow(HWND handle, WindowRecord* record) {
  std::lock_guard lock(g_windowsMutex);
  const auto found = g_windows.find(handle);
  if (found == g_windows.end()) return false;
  *record = found->second;
  return true;
}

template <typename Change>
void ChangeWindow(HWND handle, Change change) {
  std::lock_guard lock(g_windowsMutex);
  const auto found = g_windows.find(handle);
  if (found != g_windows.end()) change(found->second);
}

void Enqueue(MessageQueue& queue, const MSG& message) {
  {
    std::lock_guard lock(queue.mutex);
    queue.messages.push_back(message);
  }
  queue.ready.notify_one();
}

// GetMessage: waits for the next message of the calling thread.
MSG Dequeue() {
  MessageQueue& queue = *ThreadQueue();
  std::unique_lock lock(queue.mutex);
  queue.ready.wait(lock, [&] { return !queue.messages.empty() || queue.quitPending; });
  if (!queue.messages.empty()) {
    const MSG message = queue.messages.front();
    queue.messages.pop_front();
    return message;
  }
  queue.quitPending = false;
  return MSG{nullptr, WM_QUIT, static_cast<WPARAM>(queue.quitCode), 0};
}

void Dispatch(const MSG& message) {
  WindowRecord record;
  if (message.hwnd == nullptr || !FindWindow(message.hwnd, &record)) return;
  record.window->WindowProc(message.message, message.wParam, message.lParam);
}

}  // namespace

int GetSystemMetrics(int index) {
  return (index == SM_CXICON || index == SM_CYICON) ? 32 : 0;
}

namespace afx_internal {

void PostQuit(int exitCode) {
  MessageQueue& queue = *ThreadQueue();
  {
    std::lock_guard lock(queue.mutex);
    queue.quitPending = true;
    queue.quitCode = exitCode;
  }
  queue.ready.notify_one();
}

bool StartSystemThread(CWinThread* thread, int, UINT, DWORD) {
  if (g_threadStartFails) return false;
  {
    std::lock_guard lock(g_workersMutex);
    ++g_runningWorkers;
  }
  try {
    std::thread([thread] {
      RunWorkerThread(thread);
      std::lock_guard lock(g_workersMutex);
      --g_runningWorkers;
      g_workersDone.notify_all();
    }).detach();
  } catch (const std::system_error&) {
    std::lock_guard lock(g_workersMutex);
    --g_runningWorkers;
    return false;
  }
  return true;
}

}  // namespace afx_internal

BOOL CWinThread::PumpMessage() {
  m_msgCur = Dequeue();
  if (m_msgCur.message == WM_QUIT) return FALSE;
  Dispatch(m_msgCur);
  return TRUE;
}

BOOL CDialog::Create(UINT templateId, CWnd* parent) {
  m_templateId = templateId;
  m_parent = parent;
  if (g_windowCreationFails) return FALSE;
  WindowRecord record;
  record.window = this;
  record.queue = ThreadQueue();
  record.isDialog = true;
  record.visible = true;  // the template carries WS_VISIBLE
  {
    std::lock_guard lock(g_windowsMutex);
    m_hWnd = NewHandle();
    g_windows[m_hWnd] = record;
  }
  m_ownsWindow = true;
  SendMessage(WM_INITDIALOG, 0, 0);
  return TRUE;
}

BOOL CWnd::DestroyWindow() {
  if (m_hWnd == nullptr) return FALSE;
  const HWND handle = m_hWnd;
  SendMessage(WM_DESTROY);
  SendMessage(WM_NCDESTROY);
  {
    std::lock_guard lock(g_windowsMutex);
    g_windows.erase(handle);
  }
  OnNcDestroy();
  return TRUE;
}

BOOL CWnd::ShowWindow(int command) {
  bool wasVisible = false;
  ChangeWindow(m_hWnd, [&](WindowRecord& record) {
    wasVisible = record.visible;
    record.visible = command != SW_HIDE;
    if (command == SW_MINIMIZE || command == SW_SHOWMINIMIZED || command == SW_SHOWMINNOACTIVE) {
      record.iconic = true;
    } else if (command != SW_HIDE) {
      record.iconic = false;
    }
  });
  return wasVisible ? TRUE : FALSE;
}

BOOL CWnd::IsIconic() const {
  WindowRecord record;
  return FindWindow(m_hWnd, &record) && record.iconic ? TRUE : FALSE;
}

void CWnd::GetClientRect(RECT* rect) const { *rect = RECT{0, 0, 0, 0}; }

void CWnd::SetWindowText(const char* text) {
  ChangeWindow(m_hWnd, [&](WindowRecord& record) { record.title = text; });
}

int CWnd::MessageBox(const char* text, const char* caption, UINT type) {
  if (caption == nullptr) caption = "";
  std::fprintf(stderr, "%s [%u]: %s\n", caption, type, text);
  std::fflush(stderr);
  std::lock_guard lock(g_boxesMutex);
  g_boxes.push_back({m_hWnd, text, caption, type});
  return IDOK;
}

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  WindowRecord record;
  if (!FindWindow(m_hWnd, &record)) return FALSE;
  Enqueue(*record.queue, MSG{m_hWnd, message, wParam, lParam});
  return TRUE;
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  WindowRecord record;
  // Only the window's own thread sends to it here.
  if (!FindWindow(m_hWnd, &record) || record.queue != ThreadQueue()) return 0;
  return record.window->WindowProc(message, wParam, lParam);
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM, LPARAM) {
  WindowRecord record;
  if (!FindWindow(m_hWnd, &record)) return 0;
  // A dialog answers a close request with the cancel command, as the
  // system's dialog manager does.
  if (record.isDialog && message == WM_CLOSE) PostMessage(WM_COMMAND, IDCANCEL, 0);
  return 0;
}

CPaintDC::CPaintDC(CWnd* window) : m_window(window) { m_hDC = m_paint.hdc; }

CPaintDC::~CPaintDC() = default;

BOOL CPaintDC::DrawIcon(int, int, HICON icon) { return icon != nullptr ? TRUE : FALSE; }

namespace afx_headless {

std::vector<RecordedMessageBox> TakeMessageBoxes() {
  std::lock_guard lock(g_boxesMutex);
  std::vector<RecordedMessageBox> boxes;
  boxes.swap(g_boxes);
  return boxes;
}

void ResetThreadMessages() { ThreadQueue() = std::make_shared<MessageQueue>(); }

HWND LastCreatedWindow() {
  std::lock_guard lock(g_windowsMutex);
  return reinterpret_cast<HWND>(g_lastHandle * 4);
}

bool IsWindow(HWND window) {
  WindowRecord record;
  return window != nullptr && FindWindow(window, &record);
}

std::string WindowTitle(HWND window) {
  WindowRecord record;
  return FindWindow(window, &record) ? record.title : std::string();
}

void SetWindowCreationFails(bool fails) { g_windowCreationFails = fails; }

void SetThreadStartFails(bool fails) { g_threadStartFails = fails; }

void WaitForWorkerThreads() {
  std::unique_lock lock(g_workersMutex);
  g_workersDone.wait(lock, [] { return g_runningWorkers == 0; });
}

}  // namespace afx_headless
