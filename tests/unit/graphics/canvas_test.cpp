// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include "Graphics/Canvas.h"
#include "Base/Exceptions.h"
#include "Graphics/GraphicsStartUp.h"

namespace wydruki::graphics {
namespace {

const TCanvasState kAll{CanvasState::HandleValid, CanvasState::FontValid, CanvasState::PenValid,
                        CanvasState::BrushValid};

// A screen context for the length of a test.
class ScreenContext {
 public:
  ScreenContext() : dc_(GetDC(nullptr)) {}
  ~ScreenContext() { ReleaseDC(nullptr, dc_); }
  HDC get() const { return dc_; }

 private:
  HDC dc_;
};

TEST(Canvas, APlainCanvasWithNothingAttachedRefusesToDrawAndToMeasure) {
  TCanvas canvas;
  try {
    canvas.WriteText(0, 0, "x");
    FAIL() << "drawing without a handle must fail";
  } catch (const EInvalidOperation& e) {
    EXPECT_STREQ(e.what(), "Canvas does not allow drawing");
  }
  EXPECT_THROW(canvas.MeasureWidth("x"), EInvalidOperation);
  EXPECT_THROW(canvas.FillArea(RECT{0, 0, 1, 1}), EInvalidOperation);
}

TEST(Canvas, SelectsLazilyAndOnlyWhatAnOperationNeeds) {
  ScreenContext screen;
  ASSERT_NE(screen.get(), nullptr);
  TCanvas canvas;
  canvas.SetDeviceHandle(screen.get());
  EXPECT_EQ(canvas.Selections(), TCanvasState{CanvasState::HandleValid});
  canvas.MeasureWidth("abc");
  EXPECT_EQ(canvas.Selections(), (TCanvasState{CanvasState::HandleValid, CanvasState::FontValid}));
  canvas.FillArea(RECT{0, 0, 2, 2});
  EXPECT_TRUE(canvas.Selections().Contains(CanvasState::BrushValid));
  EXPECT_FALSE(canvas.Selections().Contains(CanvasState::PenValid));
  EXPECT_EQ(canvas.DeviceHandle(), screen.get());
  EXPECT_EQ(canvas.Selections(), kAll);
  canvas.ReleaseSelections();
  EXPECT_EQ(canvas.Selections(), TCanvasState{CanvasState::HandleValid});
  canvas.SetDeviceHandle(nullptr);
  EXPECT_TRUE(canvas.Selections().Empty());
}

TEST(Canvas, AReplacedToolIsUnselectedAloneAndItsOldHandleLivesWhileShared) {
  ScreenContext screen;
  TCanvas canvas;
  canvas.SetDeviceHandle(screen.get());
  canvas.Font().SetName("Courier New");
  canvas.Font().SetSize(11);
  TFont other;  // keeps the old description's entry in use
  other.CopyFrom(canvas.Font());
  canvas.DeviceHandle();
  const HFONT old_font = canvas.Font().FontHandle();
  canvas.Font().SetSize(13);
  EXPECT_EQ(canvas.Selections(), kAll.Minus({CanvasState::FontValid}));
  LOGFONTA lf{};
  EXPECT_NE(GetObjectA(old_font, sizeof lf, &lf), 0) << "still used by the other font";
  other.SetSize(20);
  EXPECT_EQ(GetObjectA(old_font, sizeof lf, &lf), 0) << "deleted with its last user";
  canvas.Brush().SetColor(clRed);
  EXPECT_EQ(canvas.Selections(), (TCanvasState{CanvasState::HandleValid, CanvasState::PenValid}));
}

TEST(Canvas, WriteTextMovesThePenToTheEndOfTheTextAndMeasuresEmptyTextAsZero) {
  ScreenContext screen;
  TCanvas canvas;
  canvas.SetDeviceHandle(screen.get());
  canvas.Font().SetName("Courier New");
  canvas.Font().SetSize(10);
  EXPECT_EQ(canvas.MeasureWidth(""), 0);
  const int width = canvas.MeasureWidth("Zażółć");
  EXPECT_GT(width, 0);
  canvas.WriteText(30, 40, "Zażółć");
  POINT position{};
  ASSERT_TRUE(GetCurrentPositionEx(screen.get(), &position));
  EXPECT_EQ(position.x, 30 + width);
  EXPECT_EQ(position.y, 40);
}

TEST(Canvas, ThePenPositionCarriesOverToTheNextContext) {
  ScreenContext first, second;
  TCanvas canvas;
  canvas.SetDeviceHandle(first.get());
  canvas.MovePenTo(17, 23);
  canvas.SetDeviceHandle(second.get());
  EXPECT_EQ(canvas.PenPosition().x, 17);
  EXPECT_EQ(canvas.PenPosition().y, 23);
  POINT position{};
  ASSERT_TRUE(GetCurrentPositionEx(second.get(), &position));
  EXPECT_EQ(position.x, 17);
  EXPECT_EQ(position.y, 23);
}

TEST(Canvas, DrawingRunsTheBeforeAndAfterHooksButMeasuringDoesNot) {
  ScreenContext screen;
  TCanvas canvas;
  canvas.SetDeviceHandle(screen.get());
  int before = 0, after = 0;
  canvas.OnBeforeDrawing = [&](TCanvas&) { ++before; };
  canvas.OnAfterDrawing = [&](TCanvas&) { ++after; };
  canvas.MeasureText("abc");
  EXPECT_EQ(before + after, 0);
  canvas.WriteText(0, 0, "a");
  canvas.FillArea(RECT{0, 0, 1, 1});
  EXPECT_EQ(before, 2);
  EXPECT_EQ(after, 2);
  canvas.DeviceHandle();
  EXPECT_EQ(before, 3);
  EXPECT_EQ(after, 2);
}

TEST(Canvas, SystemColourChangesReleaseEveryCanvasAndRemakeSystemColouredBrushes) {
  ScreenContext screen;
  const std::size_t live = LiveCanvases::Count();
  TCanvas canvas;
  EXPECT_EQ(LiveCanvases::Count(), live + 1);
  canvas.SetDeviceHandle(screen.get());
  canvas.Brush().SetColor(clBtnFace);
  canvas.DeviceHandle();
  const auto made = BrushCache().HandlesMade();
  SystemColorsChanged();
  EXPECT_EQ(canvas.Selections(), TCanvasState{CanvasState::HandleValid});
  canvas.DeviceHandle();
  EXPECT_EQ(BrushCache().HandlesMade(), made + 1);
}

}  // namespace
}  // namespace wydruki::graphics
