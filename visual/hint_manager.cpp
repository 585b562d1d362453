// TKvornHintManager over the common controls' tooltip class. Texts are CP1251 and reach the
// tooltip through the wide messages, so they show correctly whatever the system's code page.
#include "visual/hint_manager.h"

#include <algorithm>
#include <new>

#include "runtime/cp1251.h"
#include "toolkit/graphics.h"

namespace fliran {

struct TKvornHintManager::TTool {
  TOOLINFOW info{};
  HWND tip = nullptr;
  HFONT font = nullptr;
  WideString text;

  ~TTool() {
    if (tip != nullptr) DestroyWindow(tip);
    if (font != nullptr) DeleteObject(font);
  }
};

TKvornHintManager::TKvornHintManager() {
  FillFontRec(&Font, "Tahoma", 8, 0, 1, 0xFF000017);
  Interface.RegisterTool = MakeMethod<&TKvornHintManager::RegisterTool>(this);
  Interface.UnregisterTool = MakeMethod<&TKvornHintManager::UnregisterTool>(this);
  Interface.SetToolText = MakeMethod<&TKvornHintManager::SetToolText>(this);
  Interface.SetToolTitle = MakeMethod<&TKvornHintManager::SetToolTitle>(this);
  Interface.TrackShow = MakeMethod<&TKvornHintManager::TrackShow>(this);
  Interface.TrackHide = MakeMethod<&TKvornHintManager::TrackHide>(this);
  Interface.TrackMove = MakeMethod<&TKvornHintManager::TrackMove>(this);
}

TKvornHintManager::~TKvornHintManager() = default;

TKvornHintManager::THintId TKvornHintManager::RegisterTool(HWND window) {
  auto tool = std::make_unique<TTool>();
  tool->info.cbSize = TTTOOLINFOW_V2_SIZE;
  tool->info.uFlags = TTF_IDISHWND | TTF_SUBCLASS | TTF_TRANSPARENT;
  tool->info.hwnd = window;
  tool->info.uId = reinterpret_cast<UINT_PTR>(window);

  DWORD style = WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX;
  if (Rectangular == 0) style |= TTS_BALLOON;
  tool->tip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, style, CW_USEDEFAULT, CW_USEDEFAULT,
                              CW_USEDEFAULT, CW_USEDEFAULT, window, nullptr, GetModuleHandleW(nullptr), nullptr);

  LOGFONTW logFont{};
  logFont.lfHeight = FontHeight(Font.Size);
  logFont.lfWeight = (Font.Style & FontBold) != 0 ? FW_BOLD : FW_DONTCARE;
  logFont.lfItalic = (Font.Style & FontItalic) != 0;
  logFont.lfUnderline = (Font.Style & FontUnderline) != 0;
  logFont.lfStrikeOut = (Font.Style & FontStrikeOut) != 0;
  logFont.lfCharSet = Font.CharSet;
  const WideString face = Cp1251ToWide(Font.Name);
  face.copy(logFont.lfFaceName, std::min<std::size_t>(face.size(), LF_FACESIZE - 1));
  tool->font = CreateFontIndirectW(&logFont);
  SendMessageW(tool->tip, WM_SETFONT, reinterpret_cast<WPARAM>(tool->font), TRUE);

  SetWindowPos(tool->tip, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  SendMessageW(tool->tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool->info));
  SendMessageW(tool->tip, TTM_SETTIPTEXTCOLOR, ColorToRgb(Font.Color), 0);
  SendMessageW(tool->tip, TTM_SETTIPBKCOLOR, ColorToRgb(BackColor), 0);
  SendMessageW(tool->tip, TTM_SETDELAYTIME, TTDT_INITIAL, MAKELPARAM(InitialDelay, 0));
  SendMessageW(tool->tip, TTM_SETDELAYTIME, TTDT_AUTOPOP, MAKELPARAM(AutoPopDelay, 0));
  RECT margin{Margin, Margin, Margin, Margin};
  SendMessageW(tool->tip, TTM_SETMARGIN, 0, reinterpret_cast<LPARAM>(&margin));

  tools_.push_back(std::move(tool));
  return tools_.back().get();
}

void TKvornHintManager::UnregisterTool(THintId id) {
  const auto found = std::find_if(tools_.begin(), tools_.end(), [id](const auto& t) { return t.get() == id; });
  if (found == tools_.end()) return;
  SendMessageW(id->tip, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&id->info));
  // The tip window goes first, then its font: a font is never deleted while a window uses it.
  tools_.erase(found);
}

void TKvornHintManager::SetToolText(THintId id, const std::string& text) {
  id->text = Cp1251ToWide(text);
  id->info.lpszText = id->text.data();
  SendMessageW(id->tip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&id->info));
}

void TKvornHintManager::SetToolTitle(THintId id, int icon, const std::string& title) {
  const WideString wide = Cp1251ToWide(title);
  SendMessageW(id->tip, TTM_SETTITLEW, static_cast<WPARAM>(icon), reinterpret_cast<LPARAM>(wide.c_str()));
}

void TKvornHintManager::TrackShow(THintId id) {
  if (Tracking != 0) SendMessageW(id->tip, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&id->info));
}

void TKvornHintManager::TrackHide(THintId id) {
  if (Tracking != 0) SendMessageW(id->tip, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&id->info));
}

void TKvornHintManager::TrackMove(THintId id, std::int16_t x, std::int16_t y) {
  if (Tracking != 0) {
    SendMessageW(id->tip, TTM_TRACKPOSITION, 0,
                 MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y)));
  }
}

HWND TKvornHintManager::TipWindow(THintId id) { return id->tip; }

namespace {
// The default manager lives until the process ends and is never destroyed: its module does
// nothing at exit, so no tip window is destroyed during static destruction, when the window
// system may already be shutting the process down.
alignas(TKvornHintManager) unsigned char defaultManagerStorage[sizeof(TKvornHintManager)];
TKvornHintManager* defaultManager = nullptr;
}  // namespace

TKvornHintManager* DefaultHintManager() { return defaultManager; }

void CreateDefaultHintManager() {
  if (defaultManager == nullptr) defaultManager = ::new (defaultManagerStorage) TKvornHintManager();
}

}  // namespace fliran
