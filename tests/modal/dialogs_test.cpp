// Message boxes and the folder picker, answered from a second thread the way a user would.

#include "ui/dialogs.h"

#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/modal/test_windows.h"
#include "win/handles.h"
#include "ui/modal.h"

namespace zv {
namespace {

using namespace zv::test;

// What a driver thread read from a message box before answering it.
struct BoxSeen {
  std::wstring caption;
  std::wstring text;
  bool hasButton = false;
  int defaultButton = 0;  // the button with BS_DEFPUSHBUTTON
  int ownerEnabled = -1;
};

// Answers the next message box with `button`, recording what it showed.
DialogDriver AnswerBox(BoxSeen& seen, int button, HWND owner = nullptr) {
  return DialogDriver([&seen, button, owner](HWND box) {
    seen.caption = TextOf(box);
    seen.text = TextOf(::GetDlgItem(box, 0xFFFF));
    seen.ownerEnabled = EnabledState(owner);
    for (int id = IDOK; id <= IDNO; ++id) {
      const HWND b = ::GetDlgItem(box, id);
      if (b && (::GetWindowLongW(b, GWL_STYLE) & 0x0F) == BS_DEFPUSHBUTTON) seen.defaultButton = id;
    }
    seen.hasButton = ::GetDlgItem(box, button) != nullptr;
    Press(box, button);
  });
}

class MessageBoxes : public ::testing::Test {
 protected:
  void SetUp() override {
    SetApplicationTitle(L"Zelv软件安装");
    owner_ = MakeWindow(WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    ASSERT_TRUE(owner_);
  }
  void TearDown() override { ::DestroyWindow(owner_); }
  HWND owner_ = nullptr;
};

TEST_F(MessageBoxes, CaptionBoxShowsItsTextsAndReturnsTheAnswer) {
  BoxSeen seen;
  const std::wstring text = L"C:\\setup.exe\r\n\r\n文件没有带安装数据！！！ ";
  int answer;
  {
    auto driver = AnswerBox(seen, IDRETRY, owner_);
    answer = MessageBoxCaption(owner_, text, L"Zelv软件安装", MB_RETRYCANCEL | MB_ICONERROR);
  }
  EXPECT_EQ(answer, IDRETRY);
  EXPECT_TRUE(seen.hasButton);
  EXPECT_EQ(seen.caption, L"Zelv软件安装");
  EXPECT_EQ(seen.text, text);
  EXPECT_EQ(seen.ownerEnabled, 0);  // modal to its owner
  EXPECT_TRUE(::IsWindowEnabled(owner_));
}

TEST_F(MessageBoxes, AbortRetryIgnoreAndQuestionAnswers) {
  BoxSeen seen;
  {
    auto driver = AnswerBox(seen, IDIGNORE);
    EXPECT_EQ(MessageBoxCaption(owner_, L"写文件失败", L"错误", MB_ABORTRETRYIGNORE | MB_ICONERROR),
              IDIGNORE);
  }
  EXPECT_TRUE(seen.hasButton);

  BoxSeen question;
  {
    auto driver = AnswerBox(question, IDYES);
    EXPECT_EQ(MessageBoxAppTitle(owner_, L"覆盖吗？", MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2), IDYES);
  }
  EXPECT_EQ(question.defaultButton, IDNO);
  EXPECT_EQ(question.caption, L"Zelv软件安装");
}

TEST_F(MessageBoxes, AppTitleIsTheCaptionWhateverTheText) {
  BoxSeen seen;
  {
    auto driver = AnswerBox(seen, IDOK);
    EXPECT_EQ(MessageBoxAppTitle(owner_, L"不是Zelv压缩文件", MB_ICONERROR), IDOK);
  }
  EXPECT_EQ(seen.caption, L"Zelv软件安装");
  EXPECT_EQ(seen.text, L"不是Zelv压缩文件");
}

TEST_F(MessageBoxes, AppTitleNeverExceeds99Characters) {
  SetApplicationTitle(std::wstring(150, L'题'));
  EXPECT_EQ(ApplicationTitle(), std::wstring(99, L'题'));
  BoxSeen seen;
  {
    auto driver = AnswerBox(seen, IDOK);
    MessageBoxAppTitle(owner_, L"text", MB_OK);
  }
  EXPECT_EQ(seen.caption, std::wstring(99, L'题'));
}

DWORD WINAPI AskFromWorker(void* owner) noexcept {
  return static_cast<DWORD>(MessageBoxAppTitle(static_cast<HWND>(owner), L"来自工作线程",
                                               MB_RETRYCANCEL | MB_ICONERROR));
}

TEST_F(MessageBoxes, WorkerAsksWhileTheWindowThreadPumps) {
  // The extraction worker's pattern: it asks with the form as owner and blocks; the window's
  // thread keeps waiting in slices and dispatching.
  BoxSeen seen;
  auto driver = AnswerBox(seen, IDCANCEL, owner_);
  KernelHandle worker(::CreateThread(nullptr, 0, AskFromWorker, owner_, 0, nullptr));
  ASSERT_TRUE(worker);
  for (int slices = 0; IsThreadRunning(worker.get()) && slices < 400; ++slices) WaitPumping(100);
  driver.Join();
  DWORD answer = 0;
  ASSERT_TRUE(::GetExitCodeThread(worker.get(), &answer));
  EXPECT_EQ(answer, static_cast<DWORD>(IDCANCEL));
  EXPECT_EQ(seen.text, L"来自工作线程");
  EXPECT_EQ(seen.ownerEnabled, 0);
  EXPECT_TRUE(::IsWindowEnabled(owner_));
}

// ---- Folder picker --------------------------------------------------------------------------

// The text of the tree item the picker has selected (polled: the tree fills in steps).
std::wstring SelectedTreeText(HWND picker, const std::wstring& expected) {
  std::wstring text;
  for (int i = 0; i < 1500; ++i) {
    const HWND tree = ::FindWindowExW(picker, nullptr, WC_TREEVIEWW, nullptr);
    if (tree) {
      const auto item = reinterpret_cast<HTREEITEM>(
          ::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
      wchar_t buffer[MAX_PATH] = {};
      TVITEMW tv{};
      tv.mask = TVIF_TEXT;
      tv.hItem = item;
      tv.pszText = buffer;
      tv.cchTextMax = MAX_PATH;
      if (item && ::SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tv))) text = buffer;
      if (text == expected) break;
    }
    ::Sleep(20);
  }
  return text;
}

class FolderPicker : public ::testing::Test {
 protected:
  void SetUp() override {
    // Right below the drive: the temporary folder lies below a hidden folder, which the
    // picker's tree does not list, so it could not open on anything inside it.
    baseName_ = L"zvpick" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                std::to_wstring(::GetTickCount());
    base_ = L"C:\\" + baseName_;
    inner_ = base_ + L"\\安装目录";
    ASSERT_TRUE(::CreateDirectoryW(base_.c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW(inner_.c_str(), nullptr));
    // Wine's picker finds the initial folder by comparing shell item IDs byte for byte, access
    // times included; the first listing of a new folder moves its access time, so an ID taken
    // before that listing no longer matches. Listing both folders once settles the times.
    for (const std::wstring* folder : {&base_, &inner_}) {
      WIN32_FIND_DATAW found{};
      FindHandle listing(::FindFirstFileW((*folder + L"\\*").c_str(), &found));
      while (listing && ::FindNextFileW(listing.get(), &found)) {
      }
    }
    owner_ = MakeWindow(WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    ASSERT_TRUE(owner_);
  }
  void TearDown() override {
    ::DestroyWindow(owner_);
    ::RemoveDirectoryW(inner_.c_str());
    ::RemoveDirectoryW(base_.c_str());
  }
  std::wstring baseName_, base_, inner_;
  HWND owner_ = nullptr;
};

TEST_F(FolderPicker, OpensOnTheGivenFolderAndReturnsItOnOk) {
  std::wstring selected;
  std::wstring result;
  {
    DialogDriver driver([&](HWND picker) {
      selected = SelectedTreeText(picker, L"安装目录");
      Press(picker, IDOK);
    });
    result = BrowseForFolder(owner_, L"请选择安装目录", inner_ + L"\\");
  }
  EXPECT_EQ(selected, L"安装目录");
  EXPECT_EQ(::lstrcmpiW(result.c_str(), inner_.c_str()), 0)
      << std::string(result.begin(), result.end());
  EXPECT_TRUE(::IsWindowEnabled(owner_));
}

TEST_F(FolderPicker, CancelGivesNothing) {
  std::wstring result = L"unchanged";
  {
    DialogDriver driver([](HWND picker) { Press(picker, IDCANCEL); });
    result = BrowseForFolder(owner_, L"请选择安装目录", inner_ + L"\\");
    EXPECT_TRUE(driver.Found());
  }
  EXPECT_EQ(result, L"");
}

TEST_F(FolderPicker, EmptyInitialFolderMeansTheCurrentFolder) {
  wchar_t before[MAX_PATH] = {};
  ::GetCurrentDirectoryW(MAX_PATH, before);
  ASSERT_TRUE(::SetCurrentDirectoryW(inner_.c_str()));
  std::wstring selected;
  std::wstring result;
  {
    DialogDriver driver([&](HWND picker) {
      selected = SelectedTreeText(picker, L"安装目录");
      Press(picker, IDOK);
    });
    result = BrowseForFolder(owner_, L"", L"");
  }
  ::SetCurrentDirectoryW(before);
  EXPECT_EQ(selected, L"安装目录");
  EXPECT_EQ(::lstrcmpiW(result.c_str(), inner_.c_str()), 0);
}

TEST_F(FolderPicker, OkIsDisabledForFoldersWithoutADrivePath) {
  int okOnComputer = -1;
  int okOnFolder = -1;
  {
    DialogDriver driver([&](HWND picker) {
      SelectedTreeText(picker, baseName_);
      const HWND ok = ::GetDlgItem(picker, IDOK);
      PIDLIST_ABSOLUTE computer = nullptr;
      if (SUCCEEDED(::SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &computer))) {
        ::SendMessageW(picker, BFFM_SETSELECTIONW, FALSE, reinterpret_cast<LPARAM>(computer));
        okOnComputer = EnabledState(ok);
        ::CoTaskMemFree(computer);
      }
      ::SendMessageW(picker, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(inner_.c_str()));
      okOnFolder = EnabledState(ok);
      Press(picker, IDCANCEL);
    });
    EXPECT_EQ(BrowseForFolder(owner_, L"请选择安装目录", base_), L"");
  }
  EXPECT_EQ(okOnComputer, 0);
  EXPECT_EQ(okOnFolder, 1);
}

TEST_F(FolderPicker, LeavesTheThreadsComAsItFoundIt) {
  // Started and ended by the picker: a later initialisation in another model still works.
  {
    DialogDriver driver([](HWND picker) { Press(picker, IDCANCEL); });
    BrowseForFolder(owner_, L"", inner_);
  }
  const HRESULT hr = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  EXPECT_EQ(hr, S_OK);
  if (SUCCEEDED(hr)) ::CoUninitialize();
}

}  // namespace
}  // namespace zv
