#include "ui/accessible.h"

#include <oleacc.h>

#include "win/handles.h"
#include "win/system_library.h"

namespace zv {
namespace {

// oleacc.dll, loaded on the first question: most installs never meet a client.
struct OleaccApi {
  decltype(&::LresultFromObject) lresultFromObject;
  decltype(&::CreateStdAccessibleObject) createStdAccessibleObject;
  decltype(&::AccessibleObjectFromWindow) accessibleObjectFromWindow;
};

const OleaccApi* Oleacc() {
  static OleaccApi gApi;
  static bool gLoaded = false;
  if (!gLoaded) {
    gLoaded = true;
    if (HMODULE module = LoadSystemLibrary(L"oleacc.dll")) {  // kept for the process's life
      constexpr const char* kNames[] = {"LresultFromObject", "CreateStdAccessibleObject",
                                        "AccessibleObjectFromWindow"};
      auto* slot = reinterpret_cast<FARPROC*>(&gApi);
      for (const char* name : kNames) *slot++ = ::GetProcAddress(module, name);
    }
  }
  return gApi.accessibleObjectFromWindow ? &gApi : nullptr;
}

BSTR NewBstr(const std::wstring& text) {
  return ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
}

// The form's visible child window number `index` in the order of the tab key; with a null
// result *count holds how many there are.
HWND VisibleChild(HWND form, size_t index, size_t* count) {
  *count = 0;
  for (HWND child = ::GetWindow(form, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
    if (::IsWindowVisible(child) && (*count)++ == index) return child;
  }
  return nullptr;
}

// The client object. The form itself (CHILDID_SELF), navigation, hit testing and focus are the
// system's standard client object's answers; the painted texts are simple children of this one,
// numbered from 1, and the child windows follow them.
class ClientObject final : public IAccessible {
 public:
  ClientObject(HWND form, PaintedTexts texts, IAccessible* standard)
      : form_(form), texts_(texts), standard_(standard) {}

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IAccessible) {
      *out = static_cast<IAccessible*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

  // IDispatch: the standard object's type information and dispatch.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    return standard_->GetTypeInfoCount(count);
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override {
    return standard_->GetTypeInfo(index, locale, info);
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                          DISPID* ids) override {
    return standard_->GetIDsOfNames(iid, names, count, locale, ids);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags,
                                   DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                   UINT* argument) override {
    return standard_->Invoke(id, iid, locale, flags, params, result, exception, argument);
  }

  // IAccessible
  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
    return standard_->get_accParent(parent);
  }
  HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override {
    std::vector<std::wstring> texts;
    texts_(form_, texts);
    size_t windows = 0;
    VisibleChild(form_, static_cast<size_t>(-1), &windows);
    *count = static_cast<long>(texts.size() + windows);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override {
    *out = nullptr;
    const Kind kind = Classify(child);
    if (kind.window) {
      return Oleacc()->accessibleObjectFromWindow(kind.window, static_cast<DWORD>(OBJID_CLIENT),
                                                  IID_IDispatch, reinterpret_cast<void**>(out));
    }
    return kind.text ? S_FALSE : E_INVALIDARG;  // a text is a simple element, no object
  }
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
    const Kind kind = Classify(child);
    if (kind.self) return standard_->get_accName(child, name);
    *name = kind.text ? NewBstr(kind.name) : nullptr;
    return kind.text ? S_OK : E_INVALIDARG;
  }
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
    return standard_->get_accValue(child, value);  // a text has none: the standard object says so
  }
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* text) override {
    return standard_->get_accDescription(child, text);  // a text has none: the standard object says so
  }
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
    if (Self(child)) return standard_->get_accRole(child, role);
    role->vt = VT_I4;
    role->lVal = ROLE_SYSTEM_STATICTEXT;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
    if (Self(child)) return standard_->get_accState(child, state);
    state->vt = VT_I4;
    state->lVal = STATE_SYSTEM_READONLY;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override {
    return standard_->get_accHelp(child, help);  // a text has none: the standard object says so
  }
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override {
    return standard_->get_accHelpTopic(file, child, topic);
  }
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* keys) override {
    return standard_->get_accKeyboardShortcut(child, keys);  // a text has none: the standard object says so
  }
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override {
    return standard_->get_accFocus(focus);
  }
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override {
    return standard_->get_accSelection(selection);
  }
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
    return standard_->get_accDefaultAction(child, action);  // a text has none: the standard object says so
  }
  HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override {
    return standard_->accSelect(flags, child);
  }
  HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height,
                                        VARIANT child) override {
    return standard_->accLocation(left, top, width, height, child);
  }
  HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override {
    return standard_->accNavigate(direction, start, end);
  }
  HRESULT STDMETHODCALLTYPE accHitTest(long left, long top, VARIANT* child) override {
    return standard_->accHitTest(left, top, child);
  }
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
    return standard_->accDoDefaultAction(child);
  }
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

 private:
  ~ClientObject() { standard_->Release(); }

  // What a child ID stands for: the form itself, a painted text (with its name) or a window.
  struct Kind {
    bool self = false;
    bool text = false;
    std::wstring name;
    HWND window = nullptr;
  };
  Kind Classify(const VARIANT& child) const {
    Kind kind;
    if (child.vt != VT_I4 || child.lVal == CHILDID_SELF) {
      kind.self = true;
      return kind;
    }
    std::vector<std::wstring> texts;
    texts_(form_, texts);
    const size_t index = static_cast<size_t>(child.lVal - 1);
    if (index < texts.size()) {
      kind.text = true;
      kind.name = std::move(texts[index]);
    } else {
      size_t windows = 0;
      kind.window = VisibleChild(form_, index - texts.size(), &windows);
    }
    return kind;
  }
  static bool Self(const VARIANT& child) { return child.vt != VT_I4 || child.lVal == CHILDID_SELF; }
  HWND form_;
  PaintedTexts texts_;
  IAccessible* standard_;
  ULONG references_ = 1;
};

}  // namespace

LRESULT AnswerGetObject(HWND form, WPARAM wParam, LPARAM lParam, PaintedTexts texts) {
  if (static_cast<LONG>(lParam) != OBJID_CLIENT) return 0;
  const OleaccApi* api = Oleacc();
  IAccessible* standard = nullptr;
  if (!api || FAILED(api->createStdAccessibleObject(form, OBJID_CLIENT, IID_IAccessible,
                                                    reinterpret_cast<void**>(&standard)))) {
    return 0;
  }
  // The object is handed over through COM: the window's thread joins an apartment for the rest
  // of its life the first time a client asks.
  static const bool gApartment = SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
  (void)gApartment;
  ComPtr<IAccessible> client(new ClientObject(form, texts, standard));
  const LRESULT answer = api->lresultFromObject(IID_IAccessible, wParam, client.get());
  return answer < 0 ? 0 : answer;  // a failure code would read as an answer
}

void AnnounceTextChange(HWND form, size_t index) {
  ::NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, form, OBJID_CLIENT, static_cast<LONG>(index + 1));
}

}  // namespace zv
