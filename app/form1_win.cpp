// Form1: its construction with the ten controls, the wizard's page switching, the button
// handlers and the window procedure.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <memory>

#include "app/fileops.h"
#include "app/installer_win.h"
#include "app/texts.h"
#include "package/names.h"
#include "paint/canvas.h"
#include "paint/windowless.h"
#include "ui/accessible.h"
#include "ui/dialogs.h"
#include "ui/modal.h"
#include "ui/properties.h"

namespace zv {

Form1Object gForm1;
int gWizardState = 1;
constinit std::wstring gPageTitle;
constinit std::wstring gPageSubtitle;

namespace {

constexpr DWORD kFormStyle = 0x86CA0000;  // popup, caption, system menu, minimise box; hidden
constexpr DWORD kFormExStyle = 0x00010100;  // control parent, window edge
constexpr DWORD kCheckStyle = 0x56016D03;
constexpr DWORD kButtonStyle = 0x54010F00;
constexpr DWORD kDefaultButtonStyle = kButtonStyle | BS_DEFPUSHBUTTON;  // Next: Enter presses it
constexpr DWORD kTextStyle = 0x54011180;
constexpr DWORD kProgressStyle = 0x54000000;
constexpr uint32_t kWindowText = 0x087F7F7Fu;   // system colour 8
constexpr uint32_t kButtonFace = 0x0F7F7F7Fu;   // system colour 15
constexpr uint32_t kWindowColor = 0x057F7F7Fu;  // system colour 5
constexpr uint32_t kButtonShadow = 0x107F7F7Fu; // system colour 16

// The kind of a row: what a control gets after its creation.
enum class RowKind : unsigned char { kLabel, kFrame, kCheckBox, kButton, kTextBox, kProgressBar };

// Form1's ten controls in creation order; positions and sizes in design units.
struct ControlRow {
  RowKind kind;
  int id;
  const wchar_t* keyword;  // null for the windowless label and frame
  const wchar_t* name;
  const wchar_t* caption;
  short x, y, w, h;
  DWORD style;
  DWORD exStyle;
  ControlHandle Form1Object::*windowed;
  WindowlessHandle Form1Object::*windowless;
};

constexpr ControlRow kControls[] = {
    {RowKind::kLabel, kIdLabel1, nullptr, L"Label1", text::kLabel1, 15, 200, 400, 14, 0, 0, nullptr, &Form1Object::label1},
    {RowKind::kCheckBox, kIdCheck2, L"CHECKBOX", L"Check2", text::kCheck2, 35, 125, 149, 13, kCheckStyle, 0, &Form1Object::check2, nullptr},
    {RowKind::kCheckBox, kIdCheck1, L"CHECKBOX", L"Check1", text::kCheck1, 35, 100, 134, 18, kCheckStyle, 0, &Form1Object::check1, nullptr},
    {RowKind::kButton, kIdCommand4, L"BUTTON", L"Command4", text::kBrowse, 325, 205, 95, 25, kButtonStyle, 0, &Form1Object::command4, nullptr},
    {RowKind::kTextBox, kIdText1, L"TEXTBOX", L"Text1", L"", 25, 175, 396, 21, kTextStyle, WS_EX_CLIENTEDGE, &Form1Object::text1, nullptr},
    {RowKind::kFrame, kIdFrame1, nullptr, L"Frame1", text::kFrame1, 10, 150, 424, 88, 0, 0, nullptr, &Form1Object::frame1},
    {RowKind::kProgressBar, kIdProgressBar1, L"PROGRESSBAR", L"ProgressBar1", L"", 15, 215, 421, 24, kProgressStyle, 0, &Form1Object::progressBar1, nullptr},
    {RowKind::kButton, kIdCommand3, L"BUTTON", L"Command3", text::kBack, 220, 255, 63, 24, kButtonStyle, 0, &Form1Object::command3, nullptr},
    {RowKind::kButton, kIdCommand2, L"BUTTON", L"Command2", text::kCancel, 370, 255, 63, 24, kButtonStyle, 0, &Form1Object::command2, nullptr},
    {RowKind::kButton, kIdCommand1, L"BUTTON", L"Command1", text::kNext, 295, 255, 63, 24, kDefaultButtonStyle, 0, &Form1Object::command1, nullptr},
};

std::unique_ptr<ControlData> NewRecord(HWND form, const ControlRow& row) {
  auto data = std::make_unique<ControlData>();
  data->owner = form;
  data->index = -1;
  data->controlId = row.id;
  data->name = row.name;
  data->caption = row.caption;
  data->left = row.x;
  data->top = row.y;
  data->width = row.w;
  data->height = row.h;
  return data;
}

// A windowless control: its record, with the table's settings, linked at the end of the chain.
void AddWindowless(HWND form, const ControlRow& row) {
  std::unique_ptr<ControlData> data = NewRecord(form, row);
  data->foreColor = kWindowText;
  data->backColor = kButtonFace;
  data->fontText = text::kControlFont;
  if (row.kind == RowKind::kLabel) {
    // Visible, "&" honoured; alignment 0, no border; angle and character width 0.
    data->flags = kFlagState | kFlagVisible | kFlagMnemonic;
  } else {
    // Container, visible; caption left; corner radius 5; border width 1 in button shadow.
    data->flags = kFlagState | kFlagVisible | kFlagContainer | (5u << 16) | (1u << 12);
    data->kindValues[0] = static_cast<int32_t>(kButtonShadow);
  }
  LinkWindowlessControl(form, std::move(data));
  gForm1.*row.windowless = WindowlessHandle{row.id, form, {}, {}};
}

// A windowed control created from its keyword, with its record attached and the table's
// settings applied. A control that cannot be created is left out (its handle stays empty).
void AddWindowed(FormWindow& fw, HWND form, const ControlRow& row) {
  HWND window = CreateControl(fw, row.keyword, form, row.id, row.caption, row.x, row.y, row.w,
                              row.h, row.style, row.exStyle, nullptr, SubclassProc,
                              kReplaceWndProc, 0);
  if (!window) return;
  AttachControlData(window, NewRecord(form, row));
  const ControlHandle control{window, row.id};
  gForm1.*row.windowed = control;
  switch (row.kind) {
    case RowKind::kCheckBox:
      SetText(control, row.caption);
      SetCheck(control, true);
      SetForeColor(control, kWindowText);
      SetBackColor(control, kButtonFace);
      break;
    case RowKind::kButton:
      SetText(control, row.caption);
      break;
    case RowKind::kTextBox:
      SetForeColor(control, kWindowText);
      SetBackColor(control, kWindowColor);
      break;
    default:  // the progress bar
      SetProgressMax(control, 100);
      SetProgressMin(control, 1);
      SetProgressPos(control, 80);
      return;
  }
  SetFont(control, text::kControlFont);
}

void CreateForm1Controls(FormWindow& fw, HWND form) {
  for (const ControlRow& row : kControls) {
    if (row.keyword) {
      AddWindowed(fw, form, row);
    } else {
      AddWindowless(form, row);
    }
  }
}

void LoadFormIcons(HWND form) {
  ControlData* data = GetControlData(form);
  if (!data) return;
  // Loaded unshared: the form's record owns them and destroys them with the window.
  auto load = [](int size) {
    return static_cast<HICON>(
        LoadImageW(gAppInfo.instance, L"AAAAA_APPICON", IMAGE_ICON, size, size, 0));
  };
  data->largeIcon.reset(load(48));
  data->smallIcon.reset(load(32));
  if (data->largeIcon) SetFormIcon(form, data->largeIcon.get(), true);
  if (data->smallIcon) SetFormIcon(form, data->smallIcon.get(), false);
}

void SetPageHeader(const wchar_t* title, const wchar_t* head, const wchar_t* tail) {
  gPageTitle = title;
  gPageSubtitle = Join({head, gWelcomeName, tail});
}

void OnPackageLoadMessage(HWND window) {
  RECT client{};
  GetClientRect(window, &client);
  SendMessageW(window, WM_SIZE, 0, MAKELPARAM(client.right - client.left, client.bottom - client.top));
  LoadPackageInfo(window);
  InvalidateRect(window, nullptr, TRUE);
  UpdateWindow(window);
}

constinit std::wstring gAnnouncedLabel;
LRESULT gAnnouncedPosition = 0;  // the position told last, plus one (0: none yet)

// Screen readers hear the file being written and the progress as the page shows them: looked
// at once a paint, so no more often than the page repaints.
void AnnounceExtraction(HWND window) {
  if (gWizardState != 3) return;
  const ControlData* label = FindWindowlessControl(gForm1.label1);
  if (label && label->caption != gAnnouncedLabel) {
    gAnnouncedLabel = label->caption;
    std::vector<std::wstring> texts;
    PaintedPageTexts(window, texts);
    const auto shown = std::find(texts.begin(), texts.end(), gAnnouncedLabel);
    if (shown != texts.end()) {
      AnnounceTextChange(window, static_cast<size_t>(shown - texts.begin()));
    }
  }
  const HWND bar = gForm1.progressBar1.window;
  const LRESULT position = SendMessageW(bar, PBM_GETPOS, 0, 0);
  if (position + 1 != gAnnouncedPosition) {
    gAnnouncedPosition = position + 1;
    NotifyWinEvent(EVENT_OBJECT_VALUECHANGE, bar, OBJID_CLIENT, CHILDID_SELF);
  }
}

void PaintForm(HWND window) {
  ControlData* data = GetControlData(window);
  if (!data) return;
  const COLORREF background = ResolveColor(data->backColor, GetSysColor(COLOR_BTNFACE));
  const FormWindow* form = GetFormWindow(window);
  PageCanvas canvas;
  canvas.Begin(window, background, true, 0, 0, 0, 0, false, form ? form->dpi : 0);
  if (PaintPage(window, canvas, background) == 0) {
    PaintWindowlessFrame(gForm1.frame1, canvas, window, background);
    PaintWindowlessLabel(gForm1.label1, canvas, window, background);
  }
  canvas.End();
  AnnounceExtraction(window);
}

// Closing while the worker writes files: the records the worker's updates reach must outlive
// it, so the window is not destroyed now. The user may ask the worker to stop after the current
// file; the install action then closes the installer.
bool DeferCloseDuringExtraction(HWND window) {
  if (!gWorkerRunning) return false;
  if (!gCancelRequested) {
    const int answer = MessageBoxAppTitle(window, text::kConfirmCancel, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2);
    if (answer == IDYES) gCancelRequested = true;
  }
  return true;
}

}  // namespace

void ApplyWizardState() {
  const int s = gWizardState;
  const Form1Object& f = gForm1;
  SetVisible(f.command1, true);
  SetVisible(f.command2, true);
  SetVisible(f.command3, s == 2 || s == 3);
  SetFrameVisible(f.frame1, s == 2);
  SetVisible(f.command4, s == 2);
  SetVisible(f.text1, s == 2);
  SetVisible(f.progressBar1, s == 3);
  if (s == 4) {
    SetWindowlessVisible(f.label1, false);
    SetVisible(f.check1, true);
    SetVisible(f.check2, true);
  } else {
    SetVisible(f.check1, false);
    SetVisible(f.check2, false);
    SetWindowlessVisible(f.label1, s == 3);
  }
  // The keyboard stands on the button that moves on (Next; 完成 on the finish page), so Enter
  // goes on and the page shows where the focus is. The extraction page has nothing to press.
  if (s != 3) SetFocus(f.command1);
}

LRESULT OpenForm1(HWND owner, bool modal) {
  if (gForm1.window && IsWindow(gForm1.window)) {
    ActivateExisting(gForm1.window);
    return reinterpret_cast<LRESULT>(gForm1.window);
  }
  const std::wstring className = Join({text::kAppTitle, L"_", text::kFormName});
  auto fw = std::make_unique<FormWindow>(className.c_str());
  HWND window = CreateFormWindow(*fw, owner, text::kFormName, Form1WindowProc, 0, 0, 451, 314,
                                 kFormStyle, kFormExStyle);
  gForm1.window = window;
  if (!window || !IsWindow(window)) {
    gForm1.window = nullptr;
    return 0;
  }
  // From here the window owns the FormWindow; its WM_DESTROY frees it.
  FormWindow& form = *fw.release();

  auto formData = std::make_unique<ControlData>();
  formData->owner = owner;
  formData->name = text::kFormName;
  AttachControlData(window, std::move(formData));
  SetClassStyle(window, CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS);
  LoadFormIcons(window);
  CenterWindow(form, nullptr, nullptr);
  SetTransparentColor(window, ResolveColor(kDefaultColor, kNoColor));
  SetMousePointer(window, 0);
  SetFormBackColor(window, ResolveColor(kButtonFace, kNoColor));
  if (ControlData* data = GetControlData(window)) {
    data->transparentKey = kDefaultColor;
    data->backColor = kButtonFace;
  }

  CreateForm1Controls(form, window);
  CollectFrameChildren(gForm1.frame1);
  SetDefaultFolder();
  PostMessageW(window, kMsgLoadPackage, kMsgLoadPackage, 0);
  SetFocus(gForm1.command1);
  // Draw the focus from the start: whoever installs with the keyboard must see where it is.
  SendMessageW(window, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
  return RunModal(form, modal ? kModal : 0, window, owner, SW_SHOWNORMAL, 0);
}

void OnNext(HWND form) {
  switch (gWizardState) {
    case 1:
      // Only a package that was accepted leads anywhere; a refused one left no information.
      if (FindInfoFault(gPackageInfo) != InfoFault::None) break;
      SetPageHeader(text::kTitleFolder, text::kSubtitleFolderHead, text::kSubtitleFolderTail);
      gWizardState = 2;
      ApplyWizardState();
      SetText(gForm1.text1, ProposedFolder());
      Refresh(form);
      break;
    case 2:
      InstallAction(form);
      break;
    case 4:
      FinishAction();
      break;
    default:
      break;
  }
}

void OnBack(HWND form) {
  if (gWizardState != 2) return;
  gWizardState = 1;
  ApplyWizardState();
  Refresh(form);
}

void OnCancel(HWND form) { PostClose(form); }

void OnBrowse(HWND form) {
  const std::wstring initial = GetText(gForm1.text1);
  const std::wstring title = Join({text::kBrowseTitleHead, gWelcomeName, text::kBrowseTitleTail});
  const std::wstring chosen = BrowseForFolder(form, title, initial);
  if (!chosen.empty()) SetText(gForm1.text1, chosen);
}

LRESULT CALLBACK Form1WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (HandleStandardFormMessage(window, message, wParam, lParam, &result)) return result;
  switch (message) {
    case WM_PAINT:
      PaintForm(window);
      return -1;
    case WM_ERASEBKGND:
      return -1;
    case kMsgLoadPackage:
      if (wParam != kMsgLoadPackage) break;
      OnPackageLoadMessage(window);
      return 0;
    case kMsgWorkerProgress:
      ShowWorkerProgress();
      return 0;
    case WM_GETOBJECT:
      if (const LRESULT answer = AnswerGetObject(window, wParam, lParam, PaintedPageTexts)) {
        return answer;
      }
      break;
    case DM_GETDEFID:
      // The button Enter presses when the focus is not on a push button: Next.
      return MAKELRESULT(kIdCommand1, DC_HASDEFID);
    case WM_COMMAND:
      // A click that reaches a button while a box is up (posted by an automation tool, say) is
      // dropped: the step it would start must wait for the answer, which may end the installer.
      if (HIWORD(wParam) == BN_CLICKED && !IsDialogUp()) {
        switch (LOWORD(wParam)) {
          case IDCANCEL:  // Esc: what Cancel does, while Cancel can be pressed
            if ((GetWindowLongW(gForm1.command2.window, GWL_STYLE) & (WS_VISIBLE | WS_DISABLED)) ==
                WS_VISIBLE) {
              OnCancel(window);
            }
            break;
          case kIdCommand4: OnBrowse(window); break;
          case kIdCommand3: OnBack(window); break;
          case kIdCommand2: OnCancel(window); break;
          case kIdCommand1: OnNext(window); break;
          default: break;
        }
      }
      break;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == SC_CLOSE) {
        SendMessageW(window, WM_CLOSE, 0, 0);
        return 0;
      }
      break;
    case WM_CLOSE:
      if (DeferCloseDuringExtraction(window)) return 0;
      ReenableOwner(window);
      break;
    case WM_DESTROY:
      gForm1.window = nullptr;
      HandleFormDestroy(window);
      break;
    case WM_SETFOCUS:
      if (ControlData* data = GetControlData(window)) {
        HWND remembered = data->focusOrAttached;
        if (remembered && IsWindow(remembered) && GetAncestor(remembered, GA_ROOT) == window) {
          ::SetFocus(remembered);
        }
      }
      break;
    default:
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace zv
