// TKvornImage.
#include "visual/image.h"

#include <cmath>

namespace fliran {

TFitPlacement FitPlacement(int width, int height, int pictureWidth, int pictureHeight) {
  TFitPlacement p;
  p.Picture = RECT{0, 0, width, height};
  if (pictureWidth <= 0 || pictureHeight <= 0) return p;
  const double ratio = static_cast<double>(pictureHeight) / pictureWidth;
  // std::lrint rounds to nearest with ties to even (the default rounding mode).
  if (width * ratio <= height) {
    const int d = static_cast<int>(std::lrint((height - width * ratio) / 2));
    p.Bands[0] = RECT{0, 0, width, d};
    p.Bands[1] = RECT{0, height - d, width, height};
    p.Picture.top = d;
    p.Picture.bottom = height - d;
  } else {
    const int d = static_cast<int>(std::lrint((width - height / ratio) / 2));
    p.Bands[0] = RECT{0, 0, d, height};
    p.Bands[1] = RECT{width - d, 0, width, height};
    p.Picture.left = d;
    p.Picture.right = width - d;
  }
  return p;
}

void TKvornImage::SetPicture(HBITMAP bitmap) {
  if (bitmap != nullptr) Picture->SetHandle(bitmap);
}

void TKvornImage::SetPictureResource(HMODULE module, const char* name) {
  auto picture = MakeObj<TBitmap>();
  if (picture->SetResource(module, name)) Picture = std::move(picture);
}

void TKvornImage::SetSmooth(bool smooth) {
  const bool ntFamily = GetVersion() < 0x80000000u;
  StretchMode = smooth && ntFamily ? HALFTONE : COLORONCOLOR;
}

void TKvornImage::Init() {
  AdoptControl(CreateLabel(Parent, ""));
  TKvornWin::Init();  // also gives the control's brush the element's Color
  Control->ClickEvent = MakeMethod<&TKvornImage::Click>(this);
  Control->PaintEvent = MakeMethod<&TKvornImage::Paint>(this);
  if (!Picture->Empty() && AutoSize) Control->SetSize(Picture->Width(), Picture->Height());
}

void TKvornImage::Paint(TControl*, HDC dc) {
  if (Picture->Empty() || !DrawRoutine) {
    const RECT client = Control->ClientRect();
    FillRect(dc, &client, Control->BrushHandle());
    return;
  }
  DrawRoutine(dc);
}

void TKvornImage::FitDraw(HDC dc) {
  const RECT client = Control->ClientRect();
  const TFitPlacement p = FitPlacement(client.right, client.bottom, Picture->Width(), Picture->Height());
  HBRUSH brush = Control->BrushHandle();
  for (const RECT& band : p.Bands) FillRect(dc, &band, brush);
  SetStretchBltMode(dc, StretchMode);
  if (StretchMode == HALFTONE) SetBrushOrgEx(dc, 0, 0, nullptr);  // halftone needs the origin reset
  Picture->StretchDraw(dc, p.Picture);
}

void TKvornImage::Click(TControl*) { FireNull(outClick); }

}  // namespace fliran
