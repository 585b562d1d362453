// The panel: its elements with their settings in creation order, its links, the final wiring.
#include "scheme/panel.h"

#include <windows.h>

#include <string>

#include "runtime/app.h"
#include "runtime/cp1251.h"
#include "scheme/links.h"

namespace fliran {

namespace {

// Colour values: system colours and plain RGB.
constexpr std::uint32_t ButtonFace = 0xFF00000F;
constexpr std::uint32_t WindowBackground = 0xFF000005;
constexpr std::uint32_t SliderBlue = 0x00F0CAA6;
constexpr std::uint32_t Navy = 0x800000;

TFontRec Font(std::string name, std::uint8_t size, std::uint8_t style, std::uint32_t color, std::uint8_t charSet) {
  TFontRec font;
  FillFontRec(&font, std::move(name), size, style, charSet, color);
  return font;
}

// The panel's eight fonts.
const TFontRec& F(int n) {
  static const TFontRec fonts[8] = {
      Font("Arial", 8, FontBold, 0, 204),
      Font("MS Sans Serif", 8, 0, 0, 1),
      Font("Arial", 10, FontBold | FontItalic, Navy, 204),
      Font("Arial", 9, FontBold | FontItalic, Navy, 204),
      Font("Arial", 10, FontBold, Navy, 204),
      Font("Arial", 8, FontBold, Navy, 204),
      Font("Arial", 22, FontBold, Navy, 204),
      Font("Arial", 6, FontBold, Navy, 204),
  };
  return fonts[n - 1];
}

void Place(TKvornWin& win, std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height) {
  win.Left = left;
  win.Top = top;
  win.Width = width;
  win.Height = height;
}

// The companion bar that labels, the picture, the edit box and the memo describe (never made).
void NoBar(TKvornWin& win) {
  win.BarFactory = {};
  win.BarSize = 4;
  win.BarColor = ButtonFace;
  win.BarFirst = 0;
  win.BarSecond = 0;
}

void SetSlider(TKvornTrackBar& slider, std::string_view name, std::int32_t max, std::int32_t min,
               std::int32_t position, std::uint8_t orientation) {
  slider.Color = SliderBlue;
  slider.Font = F(2);
  slider.Ctl3D = Ctl3DBorder;
  slider.WinName = name;
  slider.ToolTips = false;
  slider.Max = max;
  slider.Min = min;
  slider.TickFrequency = 10;
  slider.Position = position;
  slider.Orientation = orientation;
  slider.TickMarks = 0;
  slider.ThumbLength = 16;
}

void SetButton(TKvornButton& button, const TFontRec& font, std::string_view caption) {
  button.Font = font;
  button.Ctl3D = Ctl3DSunken;
  button.Caption = caption;
}

void SetLabel(TKvornLabel& label, const TFontRec& font, std::string_view caption) {
  label.Color = ButtonFace;
  label.Font = font;
  label.Ctl3D = Ctl3DBorder;
  NoBar(label);
  label.Transparent = false;
  label.Caption = caption;
  label.SetAutoSize(true);
  label.SetTextAlign(0);
}

void SetJoiner(TKvornStrCat& joiner) {
  joiner.First.clear();
  joiner.Second = "\n";
}

void SetFanOut(TKvornHub& hub, std::uint8_t inCount, std::uint16_t outCount) {
  hub.InCount = inCount;  // before the outputs: the links fill an array of this count
  hub.SetOutCount(outCount);
}

void SetMath(TKvornMath& math, double op1, double op2) {
  math.Op1 = op1;
  math.Op2 = op2;
  math.ResultType = 1;
  math.SetDefault(0.0);
  math.SetAngleMode(0);
}

}  // namespace

TClassMainForm_14B8550::TInstanceRegistration::TInstanceRegistration(TClassMainForm_14B8550* panel) : Panel(panel) {
  SchemeInstance = panel;
}

TClassMainForm_14B8550::TInstanceRegistration::~TInstanceRegistration() {
  if (SchemeInstance == Panel) SchemeInstance = nullptr;
}

void TClassMainForm_14B8550::TMainFormDeleter::operator()(TKvornMainForm* form) const {
  const bool ownsApp = form->IsMain;
  std::default_delete<TKvornMainForm>()(form);
  // After a normal run the message loop has shut the application window down already.
  if (ownsApp && AppWindow != nullptr) {
    TControl* app = AppWindow;
    AppWindow = nullptr;
    app->Free();
  }
}

// A failing step throws; the elements made so far are members and go in reverse, the main form
// last, before the exception leaves.
TClassMainForm_14B8550::TClassMainForm_14B8550() : registration_(this) {
  CreateElements();
  InstallLinks();
  FinalWiring();
}

TClassMainForm_14B8550::~TClassMainForm_14B8550() = default;

std::array<TDebug*, kPanelElements.size()> TClassMainForm_14B8550::Elements() const {
  return {MainForm.get(),     SerialPort.get(),   JoinEyes.get(),     FanOutLines.get(),  SliderEyes.get(),
          SliderNeck.get(),   SliderMouth.get(),  ButtonGlow.get(),   LabelEyes.get(),    LabelNeck.get(),
          LabelMouth.get(),   Picture.get(),      ButtonStore.get(),  ButtonForget.get(), ButtonReplay.get(),
          JoinNeck.get(),     JoinMouth.get(),    JoinGlow.get(),     JoinStore.get(),    JoinForget.get(),
          JoinReplay.get(),   FanOutForget.get(), CenterEyes.get(),   CenterNeck.get(),   CenterMouth.get(),
          PortChooser.get(),  FrameCounter.get(), FrameDisplay.get(), FanOutStore.get(),  FanOutReplay.get(),
          LabelFrames.get(),  ReplyLength.get(),  ReplyLog.get(),     FanOutClear.get()};
}

void TClassMainForm_14B8550::CreateElements() {
  const HMODULE module = GetModuleHandleA(nullptr);
  std::size_t built = 0;
  // Each element is complete (set, and for a window element given its control) before the next.
  const auto done = [&built] {
    ++built;
    if (ElementBuilt != nullptr) ElementBuilt(built);
  };

  // 1
  MainForm.reset(new TKvornMainForm(nullptr));
  Place(*MainForm, 0, 0, 442, 509);
  MainForm->Color = ButtonFace;
  MainForm->Font = F(1);
  MainForm->Ctl3D = Ctl3DBorder;
  MainForm->ParentKeysFirst = true;
  MainForm->Opacity = 255;
  MainForm->SetCaption("ФЛИРАН_1"_cp1251);
  MainForm->SetBorderStyle(3);  // caption bar, fixed size, no minimise or maximise box
  MainForm->WindowState = 0;
  MainForm->SetIcon(LoadIconA(module, "ZORD"));  // a missing icon gives null, which keeps the default
  MainForm->SetHideFromTaskbar(0);
  MainForm->DragForm = false;
  MainForm->PositionStore.clear();
  MainForm->ClientSizeMode = false;
  MainForm->AfterInit = MakeMethod<&TClassMainForm_14B8550::AfterFormInit>(this);
  MainForm->FollowX = 0;
  MainForm->FollowY = 0;
  MainForm->Init();
  done();
  TControl* const form = MainForm->Control;

  // 2
  SerialPort = std::make_unique<TKvornCOM>();
  SerialPort->Port = 4;
  SerialPort->Baud = 9600;
  SerialPort->Parity = 0;
  SerialPort->Timeout = 10;
  done();

  // 3, 4
  JoinEyes = std::make_unique<TKvornStrCat>();
  SetJoiner(*JoinEyes);
  done();
  FanOutLines = std::make_unique<TKvornHub>();
  SetFanOut(*FanOutLines, 7, 1);
  done();

  // 5..7
  SliderEyes = std::make_unique<TKvornTrackBar>(form);
  Place(*SliderEyes, 205, 30, 180, 30);
  SetSlider(*SliderEyes, "glaza", 180, 0, 90, 0);
  SliderEyes->Init();
  done();
  SliderNeck = std::make_unique<TKvornTrackBar>(form);
  Place(*SliderNeck, 205, 85, 180, 30);
  SetSlider(*SliderNeck, "shea", 360, 181, 270, 0);
  SliderNeck->Init();
  done();
  SliderMouth = std::make_unique<TKvornTrackBar>(form);
  Place(*SliderMouth, 220, 155, 35, 90);
  SetSlider(*SliderMouth, "rot", 540, 361, 450, 1);
  SliderMouth->Init();
  done();

  // 8; the buttons keep the colour they took from the form
  ButtonGlow = std::make_unique<TKvornButton>(form);
  Place(*ButtonGlow, 300, 170, 105, 45);
  SetButton(*ButtonGlow, F(3), "СИЯНЬЕ ГЛАЗ"_cp1251);
  MakeStr(&ButtonGlow->Data, "600");
  ButtonGlow->Flat = true;
  ButtonGlow->Init();
  done();

  // 9..11
  LabelEyes = std::make_unique<TKvornLabel>(form);
  Place(*LabelEyes, 240, 10, 120, 15);
  SetLabel(*LabelEyes, F(5), "ПОВОРОТ ГЛАЗ"_cp1251);
  LabelEyes->Init();
  done();
  LabelNeck = std::make_unique<TKvornLabel>(form);
  Place(*LabelNeck, 240, 65, 120, 15);
  SetLabel(*LabelNeck, F(5), "ПОВОРОТ ШЕИ"_cp1251);
  LabelNeck->Init();
  done();
  LabelMouth = std::make_unique<TKvornLabel>(form);
  Place(*LabelMouth, 210, 130, 115, 15);
  SetLabel(*LabelMouth, F(5), "АНИМАЦИЯ РТА"_cp1251);
  LabelMouth->Init();
  done();

  // 12
  Picture = std::make_unique<TKvornImage>(form);
  Place(*Picture, 20, 30, 150, 175);
  Picture->Color = ButtonFace;
  Picture->Font = F(2);
  Picture->Ctl3D = Ctl3DBorder;
  NoBar(*Picture);
  Picture->MouseCapture = false;
  Picture->UseFitDraw();  // without it only the background is painted
  // Drawn from the program's own resource: no platform bitmap beside it, one picture in memory.
  Picture->SetPictureResource(module, "BITMAP0");  // a missing resource leaves it empty
  Picture->SetSmooth(true);
  Picture->Init();
  done();

  // 13..15
  ButtonStore = std::make_unique<TKvornButton>(form);
  Place(*ButtonStore, 15, 255, 125, 50);
  SetButton(*ButtonStore, F(3), "ЗАПОМНИТЬ\r\nкадр"_cp1251);
  MakeStr(&ButtonStore->Data, "601");
  ButtonStore->Flat = true;
  ButtonStore->Init();
  done();
  ButtonForget = std::make_unique<TKvornButton>(form);
  Place(*ButtonForget, 155, 255, 125, 50);
  SetButton(*ButtonForget, F(4), "ЗАБЫТЬ ПОЗУ\r\nочистиь данные"_cp1251);
  MakeInt(&ButtonForget->Data, 602);  // an integer: the sliders' centres are computed from it
  ButtonForget->Flat = true;
  ButtonForget->Init();
  done();
  ButtonReplay = std::make_unique<TKvornButton>(form);
  Place(*ButtonReplay, 295, 260, 125, 30);
  SetButton(*ButtonReplay, F(3), "ПОВТОРИТЬ ВСЁ"_cp1251);
  MakeStr(&ButtonReplay->Data, "603");
  ButtonReplay->Flat = true;
  ButtonReplay->Init();
  done();

  // 16..21
  for (std::unique_ptr<TKvornStrCat>* joiner : {&JoinNeck, &JoinMouth, &JoinGlow, &JoinStore, &JoinForget, &JoinReplay}) {
    *joiner = std::make_unique<TKvornStrCat>();
    SetJoiner(**joiner);
    done();
  }

  // 22
  FanOutForget = std::make_unique<TKvornHub>();
  SetFanOut(*FanOutForget, 1, 5);
  done();

  // 23..25: 602 minus these is the middle of each slider's range
  CenterEyes = std::make_unique<TKvornMath>();
  SetMath(*CenterEyes, 0.0, 512.0);
  done();
  CenterNeck = std::make_unique<TKvornMath>();
  SetMath(*CenterNeck, 0.0, 332.0);
  done();
  CenterMouth = std::make_unique<TKvornMath>();
  SetMath(*CenterMouth, 0.0, 152.0);
  done();

  // 26: the line's index is the port number
  PortChooser = std::make_unique<TKvornComboBox>(form);
  Place(*PortChooser, 15, 220, 145, 21);
  PortChooser->Color = WindowBackground;
  PortChooser->Font = F(6);
  PortChooser->Ctl3D = Ctl3DSunken;
  PortChooser->EdgeStyle = 1;
  PortChooser->Strings =
      "ПОРТ НЕ ОПРЕДЕЛЁН\r\nCOM 1\r\nCOM 2\r\nCOM 3\r\nCOM 4\r\nCOM 5\r\nCOM 6\r\nCOM 7\r\nCJM 8\r\nCOM 9\r\n"_cp1251;
  PortChooser->AddToTop = 0;
  PortChooser->Text = "ПОРТ НЕ ОПРЕДЕЛЁН"_cp1251;
  PortChooser->SelectAsText = 0;
  PortChooser->Editable = 1;
  PortChooser->Sort = 0;
  PortChooser->ItemHeight = 20;
  PortChooser->Init();
  done();

  // 27
  FrameCounter = std::make_unique<TKvornCounter>();
  FrameCounter->Min = 0;
  FrameCounter->Max = 100;
  FrameCounter->Step = 1;
  FrameCounter->Direction = 0;
  FrameCounter->Value = 0;
  done();

  // 28
  FrameDisplay = std::make_unique<TKvornEdit>(form);
  Place(*FrameDisplay, 10, 30, 40, 45);
  FrameDisplay->Color = WindowBackground;
  FrameDisplay->Font = F(7);
  FrameDisplay->Ctl3D = Ctl3DSunken;
  NoBar(*FrameDisplay);
  FrameDisplay->Text = "0";
  FrameDisplay->UseTextGetter();  // without a getter the edit box reports nothing
  FrameDisplay->ClearOnEnter = true;
  FrameDisplay->Init();
  // Made after the picture, it would lie below it, and the picture (from x 20) would cover all of
  // the count (10..50) but a sliver: above it, the count shows over the picture's corner.
  FrameDisplay->Control->BringToFront();
  done();

  // 29, 30
  FanOutStore = std::make_unique<TKvornHub>();
  SetFanOut(*FanOutStore, 1, 2);
  done();
  FanOutReplay = std::make_unique<TKvornHub>();
  SetFanOut(*FanOutReplay, 1, 3);
  done();

  // 31
  LabelFrames = std::make_unique<TKvornLabel>(form);
  Place(*LabelFrames, 15, 15, 30, 15);
  SetLabel(*LabelFrames, F(8), "КАДРЫ"_cp1251);
  LabelFrames->Init();
  done();

  // 32: 50 + 50, the reply's length
  ReplyLength = std::make_unique<TKvornMath>();
  SetMath(*ReplyLength, 50.0, 50.0);
  done();

  // 33
  ReplyLog = std::make_unique<TKvornMemo>(form);
  Place(*ReplyLog, 25, 315, 385, 145);
  ReplyLog->Color = WindowBackground;
  ReplyLog->Font = F(6);
  ReplyLog->Ctl3D = Ctl3DSunken;
  NoBar(*ReplyLog);
  ReplyLog->Text.clear();
  ReplyLog->AddToTop = 0;
  ReplyLog->ScrollBars = 2;
  ReplyLog->Editable = 1;
  ReplyLog->Init();
  done();

  // 34
  FanOutClear = std::make_unique<TKvornHub>();
  SetFanOut(*FanOutClear, 1, 2);
  done();
}

template <auto Point, class Element>
void TClassMainForm_14B8550::Link(std::size_t number, TKvorn_Event& source, Element* target) {
  const TPanelLink& row = PanelLink(number);
  source = MakeEvent<Point>(target, row.Index, row.LinkId);
  linkRecords_.at(number - 1) = &source;
}

// One line per row of kPanelLinks, in its order. The list points go through their base class;
// inClear is virtual there, so the memo's own clearing is reached.
void TClassMainForm_14B8550::InstallLinks() {
  Link<&TKvornWinList::inAdd>(1, SerialPort->outRead, ReplyLog.get());
  Link<&TKvornComboBox::valIndex>(2, SerialPort->dataPort, PortChooser.get());
  Link<&TKvornHub::inEvent>(3, JoinEyes->outJoined, FanOutLines.get());
  Link<&TKvornTrackBar::valPosition>(4, JoinEyes->dataFirst, SliderEyes.get());
  Link<&TKvornCOM::inWrite>(5, FanOutLines->outEvent.at(0), SerialPort.get());
  Link<&TKvornStrCat::inJoin>(6, SliderEyes->outPosition, JoinEyes.get());
  Link<&TKvornStrCat::inJoin>(7, SliderNeck->outPosition, JoinNeck.get());
  Link<&TKvornStrCat::inJoin>(8, SliderMouth->outPosition, JoinMouth.get());
  Link<&TKvornStrCat::inJoin>(9, ButtonGlow->outClick, JoinGlow.get());
  Link<&TKvornHub::inEvent>(10, ButtonStore->outClick, FanOutStore.get());
  Link<&TKvornHub::inEvent>(11, ButtonForget->outClick, FanOutForget.get());
  Link<&TKvornHub::inEvent>(12, ButtonReplay->outClick, FanOutReplay.get());
  Link<&TKvornHub::inEvent>(13, JoinNeck->outJoined, FanOutLines.get());
  Link<&TKvornTrackBar::valPosition>(14, JoinNeck->dataFirst, SliderNeck.get());
  Link<&TKvornHub::inEvent>(15, JoinMouth->outJoined, FanOutLines.get());
  Link<&TKvornTrackBar::valPosition>(16, JoinMouth->dataFirst, SliderMouth.get());
  Link<&TKvornHub::inEvent>(17, JoinGlow->outJoined, FanOutLines.get());
  Link<&TKvornHub::inEvent>(18, JoinStore->outJoined, FanOutLines.get());
  Link<&TKvornHub::inEvent>(19, JoinForget->outJoined, FanOutLines.get());
  Link<&TKvornHub::inEvent>(20, JoinReplay->outJoined, FanOutLines.get());
  Link<&TKvornStrCat::inJoin>(21, FanOutForget->outEvent.at(0), JoinForget.get());
  Link<&TKvornMath::inSubtract>(22, FanOutForget->outEvent.at(1), CenterEyes.get());
  Link<&TKvornMath::inSubtract>(23, FanOutForget->outEvent.at(2), CenterNeck.get());
  Link<&TKvornMath::inSubtract>(24, FanOutForget->outEvent.at(3), CenterMouth.get());
  Link<&TKvornHub::inEvent>(25, FanOutForget->outEvent.at(4), FanOutClear.get());
  Link<&TKvornTrackBar::inPosition>(26, CenterEyes->outResult, SliderEyes.get());
  Link<&TKvornTrackBar::inPosition>(27, CenterNeck->outResult, SliderNeck.get());
  Link<&TKvornTrackBar::inPosition>(28, CenterMouth->outResult, SliderMouth.get());
  Link<&TKvornCOM::inOpen>(29, PortChooser->outSelect, SerialPort.get());
  Link<&TKvornEdit::inText>(30, FrameCounter->outCount, FrameDisplay.get());
  Link<&TKvornStrCat::inJoin>(31, FanOutStore->outEvent.at(0), JoinStore.get());
  Link<&TKvornCounter::inNext>(32, FanOutStore->outEvent.at(1), FrameCounter.get());
  Link<&TKvornStrCat::inJoin>(33, FanOutReplay->outEvent.at(0), JoinReplay.get());
  Link<&TKvornCounter::inReset>(34, FanOutReplay->outEvent.at(1), FrameCounter.get());
  Link<&TKvornMath::inAdd>(35, FanOutReplay->outEvent.at(2), ReplyLength.get());
  Link<&TKvornCOM::inRead>(36, ReplyLength->outResult, SerialPort.get());
  Link<&TKvornWinList::inClear>(37, FanOutClear->outEvent.at(0), ReplyLog.get());
  Link<&TKvornCOM::inPurge>(38, FanOutClear->outEvent.at(1), SerialPort.get());
}

void TClassMainForm_14B8550::FinalWiring() {
  MainForm->SetupHint(nullptr);  // Hint is empty: nothing is registered
  MainForm->SetupAttachment(nullptr);
  MainForm->SetupFormAttachment(nullptr);
  MainForm->FollowTarget = nullptr;

  TKvornWin* const windows[] = {SliderEyes.get(),  SliderNeck.get(),   SliderMouth.get(), ButtonGlow.get(),
                                LabelEyes.get(),   LabelNeck.get(),    LabelMouth.get(),  Picture.get(),
                                ButtonStore.get(), ButtonForget.get(), ButtonReplay.get(), PortChooser.get(),
                                FrameDisplay.get(), LabelFrames.get(), ReplyLog.get()};
  for (TKvornWin* win : windows) {
    win->SetupHint(nullptr);
    win->SetupAttachment(nullptr);
    if (win == PortChooser.get()) {
      PortChooser->SetIconSource(nullptr);
      PortChooser->SetItemPainter(nullptr);
      PortChooser->SetImageSource(nullptr);
    }
  }

  // Tab, arrow and page keys move between the controls of the form's top-level window.
  MainForm->Control->ParentForm()->EnableNavigation();
}

}  // namespace fliran
