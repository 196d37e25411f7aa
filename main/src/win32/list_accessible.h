// ListBox1's accessible object, for screen readers: the list box holds no texts, so the
// system's own object for it has nothing to read. This one answers from the list box's
// geometry and the model (list_access.h does the arithmetic); its rows are simple elements
// with child ids 1..N, and nothing is kept per row.
#pragma once

#include <windows.h>
// The accessibility header needs windows.h first.
#include <oleacc.h>

#include <string>

#include "entrylist/entry_list.h"
#include "list_access.h"

namespace pallomar::win32 {

class ListAccessible final : public IAccessible {
 public:
  // `name` is the list's own name in the ANSI code page. Starts with one reference.
  ListAccessible(HWND list, const EntryList& entries, std::string_view name);
  ListAccessible(const ListAccessible&) = delete;
  ListAccessible& operator=(const ListAccessible&) = delete;

  // The list box is going away. A client may hold the object longer; from now on every
  // method answers RPC_E_DISCONNECTED.
  void Disconnect();

  // IUnknown.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // IDispatch: no type information; clients call the interface directly.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                   UINT*) override;

  // IAccessible.
  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override;
  HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override;
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) override;
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override;
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override;
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override;
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override;
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override;
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override;
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override;
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override;
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* child) override;
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* children) override;
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override;
  HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override;
  HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height,
                                        VARIANT child) override;
  HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override;
  HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* child) override;
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override;
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override;
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override;

 private:
  ~ListAccessible() = default;

  view::ListShown Shown() const;
  // The row `child` names (nothing for the list itself); E_INVALIDARG for an id that names
  // neither, RPC_E_DISCONNECTED once the list is gone.
  HRESULT Resolve(const VARIANT& child, std::optional<std::size_t>& row) const;
  // Selects `row` as a click on it does.
  void SelectRow(std::size_t row) const;

  LONG refs_ = 1;
  HWND list_;
  const EntryList* entries_;
  std::string name_;
};

}  // namespace pallomar::win32
