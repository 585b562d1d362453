// TKvornImage: a picture drawn to fit its area, keeping its proportions, with the uncovered bands
// filled with the element's colour.
#pragma once

#include <cstdint>

#include "runtime/method.h"
#include "toolkit/bitmap.h"
#include "visual/win.h"

namespace fliran {

// Where the fit drawing puts a picture of pictureWidth × pictureHeight into width × height: the
// picture's rectangle and the two bands on either side of it.
struct TFitPlacement {
  RECT Picture{};
  RECT Bands[2]{};
};
TFitPlacement FitPlacement(int width, int height, int pictureWidth, int pictureHeight);

class TKvornImage : public TKvornWin {
 public:
  using TDrawRoutine = TMethod<void(HDC dc)>;

  TObjPtr<TBitmap> Picture = MakeObj<TBitmap>();  // empty until SetPicture or SetPictureResource
  std::int32_t StretchMode = COLORONCOLOR;        // or HALFTONE, see SetSmooth
  TDrawRoutine DrawRoutine;                       // the panel installs FitDraw
  bool AutoSize = false;                          // after Init, the control takes the picture's size
  TKvorn_Event outClick;                          // empty value, on a click on the picture

  using TKvornWin::TKvornWin;

  // A non-null bitmap becomes the picture (owned from here on); null leaves it as it was.
  void SetPicture(HBITMAP bitmap);
  // The bitmap resource name of module becomes the picture, drawn from where the module holds it
  // (no copy: one picture in memory, not a platform bitmap beside the resource); a missing
  // resource leaves the picture as it was.
  void SetPictureResource(HMODULE module, const char* name);
  // Halftone stretching when smooth (on the NT family), else colour on colour.
  void SetSmooth(bool smooth);
  void Init() override;

  // Draws the picture centred and touching two opposite edges; the bands go in the brush colour.
  void FitDraw(HDC dc);
  // Installs FitDraw as the drawing routine.
  void UseFitDraw() { DrawRoutine = MakeMethod<&TKvornImage::FitDraw>(this); }

 private:
  void Click(TControl* sender);
  void Paint(TControl* sender, HDC dc);
};

}  // namespace fliran
