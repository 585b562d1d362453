// TClassMainForm_14B8550, the panel: it creates the 34 elements of the bird's control panel in
// the order of scheme/elements.h, each set up and (for a window element) given its control
// before the next, then installs the 38 links of scheme/links.h and the final wiring. It owns
// every element; they go in the reverse order, the main form last, also when the construction
// fails half-way.
#pragma once

#include <array>
#include <cstddef>
#include <memory>

#include "elements/counter.h"
#include "elements/hub.h"
#include "elements/math.h"
#include "elements/serial_port.h"
#include "elements/str_cat.h"
#include "runtime/link.h"
#include "scheme/elements.h"
#include "visual/button.h"
#include "visual/combo_box.h"
#include "visual/edit.h"
#include "visual/image.h"
#include "visual/label.h"
#include "visual/main_form.h"
#include "visual/memo.h"
#include "visual/track_bar.h"

namespace fliran {

class TClassMainForm_14B8550;

// The one panel of the process: set as soon as its construction starts, cleared when it goes.
inline TClassMainForm_14B8550* SchemeInstance = nullptr;

class TClassMainForm_14B8550 {
 public:
  // The main form goes (taking its start procedure along, still listed when the construction
  // fails before the start) and, when nobody shut the application window down, that window too.
  struct TMainFormDeleter {
    void operator()(TKvornMainForm* form) const;
  };

  TClassMainForm_14B8550();
  ~TClassMainForm_14B8550();
  TClassMainForm_14B8550(const TClassMainForm_14B8550&) = delete;
  TClassMainForm_14B8550& operator=(const TClassMainForm_14B8550&) = delete;

  // The elements in the order of kPanelElements (scheme/elements.h) as their common base, null
  // where not (yet) created.
  std::array<TDebug*, kPanelElements.size()> Elements() const;
  // The link record that row n of kPanelLinks was installed into (n 1-based).
  TKvorn_Event* LinkRecord(std::size_t number) const { return linkRecords_.at(number - 1); }

  // Called after each element is complete with its 1-based creation number; null normally.
  // Tests make the construction fail here.
  static inline void (*ElementBuilt)(std::size_t number) = nullptr;

 private:
  // Clears SchemeInstance when the panel goes; declared first, so it goes after every element.
  struct TInstanceRegistration {
    explicit TInstanceRegistration(TClassMainForm_14B8550* panel);
    ~TInstanceRegistration();
    TClassMainForm_14B8550* Panel;
  };
  TInstanceRegistration registration_;

 public:
  // The elements, declared in creation order, so the language destroys them in reverse.
  std::unique_ptr<TKvornMainForm, TMainFormDeleter> MainForm;
  std::unique_ptr<TKvornCOM> SerialPort;
  std::unique_ptr<TKvornStrCat> JoinEyes;
  std::unique_ptr<TKvornHub> FanOutLines;
  std::unique_ptr<TKvornTrackBar> SliderEyes;
  std::unique_ptr<TKvornTrackBar> SliderNeck;
  std::unique_ptr<TKvornTrackBar> SliderMouth;
  std::unique_ptr<TKvornButton> ButtonGlow;
  std::unique_ptr<TKvornLabel> LabelEyes;
  std::unique_ptr<TKvornLabel> LabelNeck;
  std::unique_ptr<TKvornLabel> LabelMouth;
  std::unique_ptr<TKvornImage> Picture;
  std::unique_ptr<TKvornButton> ButtonStore;
  std::unique_ptr<TKvornButton> ButtonForget;
  std::unique_ptr<TKvornButton> ButtonReplay;
  std::unique_ptr<TKvornStrCat> JoinNeck;
  std::unique_ptr<TKvornStrCat> JoinMouth;
  std::unique_ptr<TKvornStrCat> JoinGlow;
  std::unique_ptr<TKvornStrCat> JoinStore;
  std::unique_ptr<TKvornStrCat> JoinForget;
  std::unique_ptr<TKvornStrCat> JoinReplay;
  std::unique_ptr<TKvornHub> FanOutForget;
  std::unique_ptr<TKvornMath> CenterEyes;
  std::unique_ptr<TKvornMath> CenterNeck;
  std::unique_ptr<TKvornMath> CenterMouth;
  std::unique_ptr<TKvornComboBox> PortChooser;
  std::unique_ptr<TKvornCounter> FrameCounter;
  std::unique_ptr<TKvornEdit> FrameDisplay;
  std::unique_ptr<TKvornHub> FanOutStore;
  std::unique_ptr<TKvornHub> FanOutReplay;
  std::unique_ptr<TKvornLabel> LabelFrames;
  std::unique_ptr<TKvornMath> ReplyLength;
  std::unique_ptr<TKvornMemo> ReplyLog;
  std::unique_ptr<TKvornHub> FanOutClear;

 private:
  void CreateElements();
  void InstallLinks();
  void FinalWiring();
  // Installs row number of kPanelLinks into source: a link to Point of target.
  template <auto Point, class Element>
  void Link(std::size_t number, TKvorn_Event& source, Element* target);
  // The form's after-init hook.
  void AfterFormInit() {}

  std::array<TKvorn_Event*, 38> linkRecords_{};
};

}  // namespace fliran
