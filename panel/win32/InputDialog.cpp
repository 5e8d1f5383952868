#include "panel/win32/InputDialog.h"

#include <vector>

namespace orvane::panel::win32 {

namespace {

// Writes a dialog template word by word: DLGTEMPLATE, then its items, each on a DWORD boundary.
class DialogTemplate {
 public:
  DialogTemplate(DWORD style, short x, short y, short cx, short cy, const std::wstring& title) {
    addDword(style);
    addDword(0);  // extended style
    countAt_ = words_.size();
    words_.push_back(0);  // item count, filled in as items are added
    addShorts(x, y, cx, cy);
    words_.push_back(0);  // no menu
    words_.push_back(0);  // the standard dialog class
    addText(title);
    words_.push_back(8);  // DS_SETFONT: point size and face
    addText(L"MS Shell Dlg");
  }

  void addItem(DWORD style, short x, short y, short cx, short cy, WORD id, WORD classAtom,
               const std::wstring& text) {
    if (words_.size() % 2 != 0) words_.push_back(0);  // DWORD alignment
    addDword(style | WS_CHILD | WS_VISIBLE);
    addDword(0);
    addShorts(x, y, cx, cy);
    words_.push_back(id);
    words_.push_back(0xFFFF);  // a predefined class by atom
    words_.push_back(classAtom);
    addText(text);
    words_.push_back(0);  // no creation data
    ++words_[countAt_];
  }

  const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

 private:
  void addDword(DWORD value) {
    words_.push_back(LOWORD(value));
    words_.push_back(HIWORD(value));
  }
  void addShorts(short a, short b, short c, short d) {
    for (const short s : {a, b, c, d}) words_.push_back(static_cast<WORD>(s));
  }
  void addText(const std::wstring& text) {
    for (const wchar_t c : text) words_.push_back(static_cast<WORD>(c));
    words_.push_back(0);
  }

  std::vector<WORD> words_;
  std::size_t countAt_ = 0;
};

constexpr WORD ButtonAtom = 0x0080;
constexpr WORD EditAtom = 0x0081;
constexpr WORD StaticAtom = 0x0082;

struct DialogState {
  const std::wstring* defaultText;
  std::wstring answer;
};

INT_PTR CALLBACK dialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* state = reinterpret_cast<DialogState*>(GetWindowLongPtrW(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG: {
      SetWindowLongPtrW(dialog, DWLP_USER, lParam);
      state = reinterpret_cast<DialogState*>(lParam);
      SetDlgItemTextW(dialog, InputDialogEditId, state->defaultText->c_str());
      const HWND edit = GetDlgItem(dialog, InputDialogEditId);
      SendMessageW(edit, EM_SETSEL, 0, -1);
      SetFocus(edit);
      return FALSE;  // the focus is set
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        const HWND edit = GetDlgItem(dialog, InputDialogEditId);
        std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(edit)) + 1, L'\0');
        text.resize(static_cast<std::size_t>(
            GetWindowTextW(edit, text.data(), static_cast<int>(text.size()))));
        state->answer = text;
        EndDialog(dialog, IDOK);
        return TRUE;
      }
      if (LOWORD(wParam) == IDCANCEL) {  // also Esc and the close box
        state->answer.clear();
        EndDialog(dialog, IDCANCEL);
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

std::optional<std::wstring> runInputDialog(HWND owner, const std::wstring& prompt,
                                           const std::wstring& title,
                                           const std::wstring& defaultText) {
  // Dialog units; laid out like the classic input box: the prompt with OK and Cancel to its right,
  // the text field across the bottom.
  DialogTemplate form(DS_MODALFRAME | DS_SETFONT | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU,
                      0, 0, 350, 80, title);
  form.addItem(SS_LEFT | SS_NOPREFIX, 7, 7, 282, 48, InputDialogPromptId, StaticAtom, prompt);
  form.addItem(BS_DEFPUSHBUTTON | WS_TABSTOP, 295, 7, 48, 14, IDOK, ButtonAtom, L"OK");
  form.addItem(BS_PUSHBUTTON | WS_TABSTOP, 295, 25, 48, 14, IDCANCEL, ButtonAtom, L"Cancel");
  form.addItem(ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 7, 60, 336, 13, InputDialogEditId, EditAtom,
               L"");
  DialogState state{&defaultText, {}};
  const INT_PTR result = DialogBoxIndirectParamW(GetModuleHandleW(nullptr), form.get(), owner,
                                                 dialogProc, reinterpret_cast<LPARAM>(&state));
  if (result != IDOK) return std::nullopt;
  return state.answer;
}

}  // namespace orvane::panel::win32
