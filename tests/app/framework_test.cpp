// The headless framework's loop rules, which the program's exit codes and
// its close handling rest on.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dialog.h"
#include "headless.h"
#include "string_map.h"
#include "win_app.h"

namespace {

constexpr UINT WM_TEST_END = WM_APP + 10;
constexpr UINT WM_TEST_LOG = WM_APP + 11;

// A dialog that ends its loop with the WPARAM of WM_TEST_END and logs the
// messages it sees.
class TestDialog : public CDialog {
 public:
  TestDialog() : CDialog(102) {}
  std::vector<std::string> log;

 protected:
  BOOL OnInitDialog() override {
    log.push_back("init");
    return TRUE;
  }
  const MessageMap* GetMessageMap() const override {
    static const MessageMapEntry entries[] = {
        {WM_TEST_END, 0,
         [](CCmdTarget& target, WPARAM wParam, LPARAM) -> LRESULT {
           auto& dialog = static_cast<TestDialog&>(target);
           dialog.log.push_back("end " + std::to_string(wParam));
           dialog.EndModalLoop(static_cast<int>(wParam));
           return 0;
         }},
        {WM_TEST_LOG, 0,
         [](CCmdTarget& target, WPARAM wParam, LPARAM) -> LRESULT {
           static_cast<TestDialog&>(target).log.push_back("log " + std::to_string(wParam));
           return 0;
         }},
    };
    static const MessageMap map{CDialog::GetMessageMap(), entries};
    return &map;
  }
};

class TestApp : public CWinApp {
 public:
  BOOL InitInstance() override { return FALSE; }
};

class Framework : public ::testing::Test {
 protected:
  void SetUp() override {
    afx_headless::ResetThreadMessages();
    // Makes this thread the application's, as the program's entry does.
    AfxWinMain();
  }
  void TearDown() override { afx_headless::ResetThreadMessages(); }

  TestApp app;
};

TEST_F(Framework, CreateRoutesInitDialogBeforeReturning) {
  TestDialog dialog;
  ASSERT_TRUE(dialog.Create(102));
  EXPECT_EQ(dialog.log, std::vector<std::string>{"init"});
  EXPECT_TRUE(afx_headless::IsWindow(dialog.m_hWnd));
}

TEST_F(Framework, ModalLoopReturnsAfterTheMessageWhoseHandlerEndedIt) {
  TestDialog dialog;
  ASSERT_TRUE(dialog.Create(102));
  dialog.PostMessage(WM_TEST_LOG, 1);
  dialog.PostMessage(WM_TEST_END, 7);
  dialog.PostMessage(WM_TEST_LOG, 2);

  EXPECT_EQ(dialog.RunModalLoop(MLF_NOKICKIDLE), 7);

  EXPECT_EQ(dialog.log, (std::vector<std::string>{"init", "log 1", "end 7"}));
  // The last message the pump retrieved is the one that ended the loop.
  EXPECT_EQ(app.m_msgCur.message, WM_TEST_END);
  EXPECT_EQ(app.ExitInstance(), 7);
  // What follows stays queued: the later message, then the WM_NULL that
  // EndModalLoop posts to wake a waiting loop.
  ASSERT_TRUE(app.PumpMessage());
  EXPECT_EQ(app.m_msgCur.message, WM_TEST_LOG);
  ASSERT_TRUE(app.PumpMessage());
  EXPECT_EQ(app.m_msgCur.message, WM_NULL);
}

TEST_F(Framework, DestroyWindowClearsTheMainWindowAndPostsAQuitAfterQueuedMessages) {
  TestDialog dialog;
  ASSERT_TRUE(dialog.Create(102));
  app.m_pMainWnd = &dialog;
  dialog.PostMessage(WM_TEST_LOG, 1);
  const HWND handle = dialog.m_hWnd;

  EXPECT_TRUE(dialog.DestroyWindow());

  EXPECT_EQ(app.m_pMainWnd, nullptr);
  EXPECT_FALSE(afx_headless::IsWindow(handle));
  EXPECT_EQ(dialog.m_hWnd, nullptr);
  // Messages for the destroyed window go nowhere; the quit comes last.
  ASSERT_TRUE(app.PumpMessage());
  EXPECT_EQ(dialog.log, std::vector<std::string>{"init"});
  EXPECT_FALSE(app.PumpMessage());
  EXPECT_EQ(app.m_msgCur.message, WM_QUIT);
  EXPECT_FALSE(dialog.PostMessage(WM_TEST_LOG, 2));
}

TEST_F(Framework, EntryDestroysAMainWindowThatInitInstanceLeftAndReturnsExitInstance) {
  struct LeavingApp : CWinApp {
    TestDialog dialog;
    BOOL InitInstance() override {
      dialog.Create(102);
      m_pMainWnd = &dialog;
      dialog.PostMessage(WM_TEST_END, 9);
      dialog.RunModalLoop();
      return FALSE;
    }
  } leaving;

  EXPECT_EQ(AfxWinMain(), 9);
  EXPECT_EQ(leaving.m_pMainWnd, nullptr);
  EXPECT_EQ(leaving.dialog.m_hWnd, nullptr);
}

TEST_F(Framework, DialogBaseEndsTheLoopOnOkAndCloseTurnsIntoCancel) {
  TestDialog dialog;
  ASSERT_TRUE(dialog.Create(102));
  dialog.PostMessage(WM_COMMAND, IDOK);
  EXPECT_EQ(dialog.RunModalLoop(), IDOK);

  // Unhandled, WM_CLOSE takes the dialog manager's default: IDCANCEL.
  dialog.PostMessage(WM_CLOSE);
  EXPECT_EQ(dialog.RunModalLoop(), IDCANCEL);
}

TEST_F(Framework, WorkerThreadPostsToTheApplicationsMainWindow) {
  TestDialog dialog;
  ASSERT_TRUE(dialog.Create(102));
  app.m_pMainWnd = &dialog;
  static HWND seenByWorker;
  seenByWorker = nullptr;
  ASSERT_NE(AfxBeginThread(
                [](LPVOID) -> UINT {
                  CWnd* main = AfxGetMainWnd();
                  seenByWorker = main != nullptr ? main->m_hWnd : nullptr;
                  if (main != nullptr) main->PostMessage(WM_TEST_END, 3);
                  return 0;
                },
                nullptr),
            nullptr);

  EXPECT_EQ(dialog.RunModalLoop(), 3);
  afx_headless::WaitForWorkerThreads();
  EXPECT_EQ(seenByWorker, dialog.m_hWnd);
  app.m_pMainWnd = nullptr;
}

TEST_F(Framework, ThreadThatCannotStartGivesNull) {
  afx_headless::SetThreadStartFails(true);
  EXPECT_EQ(AfxBeginThread([](LPVOID) -> UINT { return 0; }, nullptr), nullptr);
  afx_headless::SetThreadStartFails(false);
}

TEST(StringMap, SetLookupIndexRemoveAndVisitEveryEntry) {
  CMapStringToString map(10);
  map.SetAt("MSG1", "one");
  map.SetAt("MSG2", "two");
  map.SetAt("MSG1", "uno");
  map["MSG3"] = "three";
  EXPECT_EQ(map["MSG4"], "");  // indexing adds an empty entry

  std::string value;
  EXPECT_TRUE(map.Lookup("MSG1", value));
  EXPECT_EQ(value, "uno");
  EXPECT_FALSE(map.Lookup("msg1", value));  // keys match exactly
  EXPECT_EQ(map.GetCount(), 4);

  std::vector<std::string> visited;
  for (POSITION position = map.GetStartPosition(); position != nullptr;) {
    std::string key;
    map.GetNextAssoc(position, key, value);
    map.SetAt(key.c_str(), (value + "!").c_str());  // changing values keeps the walk
    visited.push_back(key);
  }
  EXPECT_EQ(visited.size(), 4u);
  EXPECT_EQ(map["MSG2"], "two!");

  map.RemoveAll();
  EXPECT_EQ(map.GetCount(), 0);
  EXPECT_EQ(map.GetStartPosition(), nullptr);
}

}  // namespace
