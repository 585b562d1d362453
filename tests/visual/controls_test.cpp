// The button and the slider on a main form: real clicks, a real drag and a real arrow key, and
// the slider's input and value point.
#include <algorithm>
#include <string>
#include <vector>

#include "runtime/start_procs.h"
#include "toolkit/win.h"
#include "visual/button.h"
#include "visual/track_bar.h"
#include "visual_test.h"

#include <commctrl.h>

namespace fliran {
namespace {

using test::Recorder;

class Controls : public test::ElementTest {
 protected:
  void SetUp() override {
    ElementTest::SetUp();
    form_ = MakeForm(nullptr, RECT{700, 450, 1000, 650});
    form_->SetCaption(caption_);
    form_->Init();
    button_ = std::make_unique<TKvornButton>(form_->Control);
    MakeStr(&button_->Data, "600");
    test::Place(*button_, RECT{10, 10, 110, 40});
    button_->Init();
    slider_ = std::make_unique<TKvornTrackBar>(form_->Control);
    slider_->Max = 180;
    slider_->Position = 90;
    slider_->ThumbLength = 20;  // a fixed-length thumb of length 0 could not be grabbed
    test::Place(*slider_, RECT{10, 60, 210, 100});
    slider_->Init();
  }
  void TearDown() override {
    slider_.reset();
    button_.reset();
    ElementTest::TearDown();
  }
  // Shows the form (the start) and answers the screen point of (x, y) in control.
  static POINT ShowAndLocate(TControl* control, int x, int y) {
    RunStartProcs();
    POINT p{x, y};
    ClientToScreen(control->Handle(), &p);
    return p;
  }
  std::int32_t SliderPosition() {
    TData d;
    slider_->valPosition(&d, 0);
    return ToInteger(d);
  }

  test::TXInputLock inputLock_;
  std::string caption_ = test::UniqueCaption("controls");
  TKvornMainForm* form_ = nullptr;
  std::unique_ptr<TKvornButton> button_;
  std::unique_ptr<TKvornTrackBar> slider_;
};

TEST_F(Controls, ButtonClickFiresACopyOfItsDataEachTime) {
  ASSERT_TRUE(inputLock_.Held());
  Recorder clicks;
  clicks.onValue = [](TData* d) { MakeStr(d, "changed by the target"); };
  button_->outClick = clicks.Link();
  const POINT p = ShowAndLocate(button_->Control, 50, 15);
  ASSERT_TRUE(test::XInputOn(caption_, "mousemove --sync " + test::At(p) + " click 1"));
  ASSERT_TRUE(test::PumpUntil([&] { return clicks.values.size() == 1; }));
  ASSERT_TRUE(test::XInputOn(caption_, "click 1"));
  ASSERT_TRUE(test::PumpUntil([&] { return clicks.values.size() == 2; }));
  for (const TData& d : clicks.values) EXPECT_EQ(ToString(d), "600");
  EXPECT_EQ(button_->Data.StrValue, "600");
}

TEST_F(Controls, SliderDragAndArrowKeyReportStartPositionsAndEnd) {
  ASSERT_TRUE(inputLock_.Held());
  Recorder seq;  // index 0 start, 1 position, 2 end
  slider_->outTrackStart = seq.Link(0);
  slider_->outPosition = seq.Link(1);
  slider_->outTrackEnd = seq.Link(2);
  RECT thumb{};
  SendMessageW(slider_->Control->Handle(), TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
  const POINT from = ShowAndLocate(slider_->Control, (thumb.left + thumb.right) / 2, (thumb.top + thumb.bottom) / 2);
  ASSERT_TRUE(test::XInputOn(caption_, "mousemove --sync " + test::At(from) + " mousedown 1 mousemove --sync " +
                                            test::At(POINT{from.x + 25, from.y}) + " mouseup 1"));
  ASSERT_TRUE(test::PumpUntil([&] { return !seq.indexes.empty() && seq.indexes.back() == 2; }));
  const std::int32_t dragged = SliderPosition();
  EXPECT_GT(dragged, 90);
  // One start, the positions, then the end (Wine's slider reports the end of a drag twice).
  const auto firstEnd = std::find(seq.indexes.begin(), seq.indexes.end(), 2);
  ASSERT_GE(firstEnd - seq.indexes.begin(), 2);
  EXPECT_EQ(seq.indexes.front(), 0);
  EXPECT_TRUE(std::all_of(seq.indexes.begin() + 1, firstEnd, [](std::uint16_t i) { return i == 1; }));
  EXPECT_TRUE(std::all_of(firstEnd, seq.indexes.end(), [](std::uint16_t i) { return i == 2; }));
  EXPECT_EQ(ToInteger(seq.values.back()), dragged);

  seq.values.clear();
  seq.indexes.clear();
  ASSERT_TRUE(test::SendKeys(caption_, "Right"));
  ASSERT_TRUE(test::PumpUntil([&] { return seq.indexes.size() == 3; }));
  EXPECT_EQ(seq.indexes, (std::vector<std::uint16_t>{0, 1, 2}));
  for (const TData& d : seq.values) EXPECT_EQ(ToInteger(d), dragged + 1);
}

TEST_F(Controls, SliderInputMovesTheThumbWithoutFiringAndTheValuePointReadsIt) {
  Recorder positions;
  slider_->outPosition = positions.Link();
  for (const auto& [given, expected] : {std::pair{fliran::testing::StrValue("45"), 45},
                                        std::pair{fliran::testing::IntValue(999), 180}}) {
    TData d = given;
    slider_->inPosition(&d, 1);
    EXPECT_EQ(SliderPosition(), expected);
  }
  test::PumpQueued();
  EXPECT_TRUE(positions.values.empty());
}

}  // namespace
}  // namespace fliran
