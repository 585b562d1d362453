// TKvornLabel.
#include "visual/label.h"

#include "runtime/font.h"

namespace fliran {

TKvornLabel::TKvornLabel(TControl* parent) : TKvornWin(parent) {
  AdoptControl(CreateLabel(parent, ""));
  Control->ClickEvent = MakeMethod<&TKvornLabel::Click>(this);
}

void TKvornLabel::SetAutoSize(bool autoSize) {
  if (Control != nullptr) Control->SetAutoSize(autoSize);
}

void TKvornLabel::SetTextAlign(int align) {
  if (Control != nullptr) Control->SetTextAlign(align);
}

void TKvornLabel::Init() {
  TKvornWin::Init();
  if (Control == nullptr) return;
  Control->SetText(Caption);
  // Only a label with a hover effect asks for the mouse-entry notifications.
  if (HoverColor != 0 || HoverUnderline) {
    Control->MouseEnterEvent = MakeMethod<&TKvornLabel::MouseEnter>(this);
    Control->MouseLeaveEvent = MakeMethod<&TKvornLabel::MouseLeave>(this);
  }
}

void TKvornLabel::MouseEnter(TControl* sender) {
  TKvornWin::MouseEnter(sender);
  if (Control == nullptr) return;
  TGraphicTool* font = Control->Font();
  if (HoverColor != 0) font->SetColor(HoverColor);
  if (HoverUnderline) font->SetFontStyle(font->FontStyle() | FontUnderline);
}

void TKvornLabel::MouseLeave(TControl* sender) {
  TKvornWin::MouseLeave(sender);
  if (Control == nullptr) return;
  TGraphicTool* font = Control->Font();
  if (HoverColor != 0) font->SetColor(Font.Color);
  if (HoverUnderline) font->SetFontStyle(font->FontStyle() & ~FontUnderline);
}

void TKvornLabel::Click(TControl*) { FireNull(outClick); }

}  // namespace fliran
