// TKvornMainForm, the element of a top-level window. The first form of a run also makes the
// application window and is the main form: closing it ends the program. It applies caption,
// icon, border style, opacity and window state, reports activation, start and close, lets a
// pull point refuse a close, and can keep the window's position in the registry or an ini file.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "toolkit/bitmap.h"
#include "visual/win.h"

namespace fliran {

// An optional object attached to a form after the links; none in the panel.
struct TKvornFormAttachment {
  TMethod<void(TControl* form)> AttachFirst;
  TMethod<void(TControl* form)> AttachSecond;
};

// SetBorderStyle: the window style and extended style bits of each value (0..9); the bits
// 0x00C70000 and 0x181 are cleared first.
struct TBorderStyleBits {
  DWORD Style;
  DWORD ExStyle;
};
inline constexpr DWORD BorderStyleMask = 0x00C70000;
inline constexpr DWORD BorderExStyleMask = 0x181;
inline constexpr TBorderStyleBits BorderStyles[10] = {
    {0, 0},
    {0xC20000, 0},       // caption, minimise box
    {0xC70000, 0},       // caption, sizing frame, minimise and maximise boxes
    {0xC00000, 0x100},   // caption; window edge
    {0xC00000, 0x80},    // caption; tool window
    {0xC40000, 0x80},    // caption, sizing frame; tool window
    {0, 0x1},            // modal-dialog frame
    {0x40000, 0x80},     // sizing frame; tool window
    {0, 0x201},          // modal-dialog frame, client edge
    {0x40000, 0x200},    // sizing frame; client edge
};

class TKvornMainForm : public TKvornWin {
 public:
  bool IsMain = false;      // this form made the application window
  bool ShownOnce = false;
  const TKvornFormAttachment* FormAttachment = nullptr;  // not owned
  TObjPtr<TBitmap> Background;                           // drawn at the top-left when not empty
  const TControlGetter* FollowTarget = nullptr;          // window this form follows; not owned
  std::int32_t FollowX = 0;
  std::int32_t FollowY = 0;
  bool DragForm = false;
  std::uint8_t Opacity = 255;
  std::uint8_t WindowState = 0;  // 0 normal, 1 minimised, 2 maximised: applied at the first show
  TMethod<void(bool save)> PositionStoreMethod;
  std::string PositionStore;     // "" nowhere; "name" registry HKCU\Software\name; "file.ini\section"
  bool ClientSizeMode = false;   // Width and Height are the client area's size
  TMethod<void()> AfterInit;
  TKvorn_Event dataCancelClose;  // a non-zero integer refuses a user's close
  TKvorn_Event outActivate;
  TKvorn_Event outDeactivate;
  TKvorn_Event outStart;         // once, before the form is first shown
  TKvorn_Event outClose;         // the main form is closing
  HWND ListedHandle = nullptr;   // the window handle Init put into the form list (secondary forms)

  // parent: null for a top-level form (a child of the application window).
  explicit TKvornMainForm(TControl* parent = nullptr);
  ~TKvornMainForm() override;

  void SetCaption(std::string_view text);
  void SetBorderStyle(std::uint8_t value);
  void SetIcon(HICON icon);
  void SetHideFromTaskbar(std::uint8_t value);
  void SetupFormAttachment(const TKvornFormAttachment* attachment);

  void MouseDown(TControl* sender, TMouseEventData& mouse) override;
  bool MessageHook(TMsg& msg, LRESULT& result) override;
  void Shown(TControl* sender) override;
  void Init() override;

  // The close procedure; answers whether WM_CLOSE counts as handled (refused, or a secondary
  // form only hidden). userClose: the refusal through dataCancelClose applies.
  bool CloseForm(bool userClose);

 private:
  void Start();
  void PaintBackground(TControl* sender, HDC dc);
  void PostInnerMessage();
  // The bounds to save: the window's, or where it returns to when it is minimised.
  RECT RestoredBounds() const;
  void StoreNothing(bool save);
  void StoreInRegistry(bool save);
  void StoreInIniFile(bool save);
};

}  // namespace fliran
