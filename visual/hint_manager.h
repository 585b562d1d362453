// TKvornHintManager: tooltips for window elements. Each registered window gets a tooltip window
// of its own; a tracking manager shows, hides and moves the tip as the element reports the mouse.
#pragma once

#include "toolkit/win.h"

#include <commctrl.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "runtime/debug.h"
#include "runtime/font.h"
#include "runtime/method.h"

namespace fliran {

class TKvornHintManager : public TDebug {
 public:
  // One registered window: its tool description, its tooltip window and the tool's text.
  struct TTool;
  using THintId = TTool*;

  // What window elements hold and call: the manager's seven operations as method references.
  struct TInterface {
    TMethod<THintId(HWND)> RegisterTool;
    TMethod<void(THintId)> UnregisterTool;
    TMethod<void(THintId, const std::string&)> SetToolText;
    TMethod<void(THintId, int, const std::string&)> SetToolTitle;
    TMethod<void(THintId)> TrackShow;
    TMethod<void(THintId)> TrackHide;
    TMethod<void(THintId, std::int16_t, std::int16_t)> TrackMove;
  };

  TInterface Interface;
  std::uint8_t Rectangular = 1;          // 0: balloon tips
  std::uint32_t BackColor = 0xFF000018;  // COLOR_INFOBK
  std::int32_t InitialDelay = 500;       // ms before a tip shows
  std::int32_t AutoPopDelay = 5000;      // ms a tip stays
  std::int32_t Margin = 0;               // pixels around the tip text
  std::uint8_t Tracking = 0;             // non-zero: the tip follows the mouse reports
  TFontRec Font;                         // "Tahoma" 8, colour COLOR_INFOTEXT

  TKvornHintManager();
  ~TKvornHintManager() override;

  THintId RegisterTool(HWND window);
  void UnregisterTool(THintId id);
  // The manager keeps its own copy of the text.
  void SetToolText(THintId id, const std::string& text);
  void SetToolTitle(THintId id, int icon, const std::string& title);
  void TrackShow(THintId id);
  void TrackHide(THintId id);
  void TrackMove(THintId id, std::int16_t x, std::int16_t y);

  static HWND TipWindow(THintId id);

 private:
  std::vector<std::unique_ptr<TTool>> tools_;
};

// The program's default manager, created at start-up; elements with a hint and no manager of
// their own use it. Null before start-up.
TKvornHintManager* DefaultHintManager();
void CreateDefaultHintManager();

}  // namespace fliran
