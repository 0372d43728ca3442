// SPDX-License-Identifier: MIT
// The drawing tools a canvas owns: a font, a pen and a brush. Each is a small description plus
// a share of a cache entry; every change works on a copy of the description and moves the tool
// to the entry for the new value.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "Base/CriticalSection.h"
#include "Graphics/Descriptions.h"
#include "Graphics/ResourceManager.h"

namespace wydruki::graphics {

class TGraphicsObject {
 public:
  using Listener = std::function<void(TGraphicsObject&)>;

  virtual ~TGraphicsObject() = default;
  TGraphicsObject(const TGraphicsObject&) = delete;
  TGraphicsObject& operator=(const TGraphicsObject&) = delete;

  // Told of every change of the tool's value: the owning canvas unselects it.
  Listener ChangeListener;
  // The lock of the canvas that owns the tool, or none.
  CriticalSection* OwnerLock = nullptr;

  virtual void NotifyChange() {
    if (ChangeListener) ChangeListener(*this);
  }

 protected:
  TGraphicsObject() = default;
};

class TFont : public TGraphicsObject {
 public:
  TFont();
  ~TFont() override;

  const std::string& Name() const { return resource_->description.Name; }
  // Empty text is ignored; a longer name keeps its first 31 characters.
  void SetName(std::string_view name);
  // Points at the font's resolution: −MulDiv(Height, 72, Resolution).
  int Size() const;
  void SetSize(int points);
  int Height() const { return resource_->description.Height; }
  void SetHeight(int height);
  TFontStyles Style() const { return resource_->description.Style; }
  void SetStyle(TFontStyles style);
  TFontCharset Charset() const { return resource_->description.Charset; }
  void SetCharset(TFontCharset charset);
  TFontPitch Pitch() const { return resource_->description.Pitch; }
  void SetPitch(TFontPitch pitch);
  // The text colour: not part of the description, set on the device context at selection.
  TColor Color() const { return color_; }
  void SetColor(TColor color);
  int Resolution() const { return resolution_; }
  // A plain store: callers that keep the point size read Size before and write it after.
  void SetResolution(int pixels_per_inch) { resolution_ = pixels_per_inch; }

  // The shared system font, made on first request.
  HFONT FontHandle();
  // Adopts a font made elsewhere: from now on the cache owns it and deletes it when the last
  // font using it lets go, so its maker must not delete it.
  void SetFontHandle(HFONT handle);

  void CopyFrom(const TFont& source);

  FontResource* Resource() const { return resource_; }
  void SetResource(FontResource* resource) { resource_ = resource; }

 private:
  FontDescription ReadDescription() const;
  void Replace(const FontDescription& description);

  FontResource* resource_ = nullptr;
  TColor color_;
  int resolution_;
};

class TPen : public TGraphicsObject {
 public:
  TPen();
  ~TPen() override;

  TColor Color() const { return resource_->description.Color; }
  void SetColor(TColor color);
  int Width() const { return resource_->description.Width; }
  void SetWidth(int width);
  TPenStyle Style() const { return resource_->description.Style; }
  void SetStyle(TPenStyle style);
  TPenMode Mode() const { return mode_; }
  void SetMode(TPenMode mode);

  HPEN PenHandle();
  void CopyFrom(const TPen& source);

  PenResource* Resource() const { return resource_; }
  void SetResource(PenResource* resource) { resource_ = resource; }

 private:
  PenDescription ReadDescription() const;
  void Replace(const PenDescription& description);

  PenResource* resource_ = nullptr;
  TPenMode mode_ = TPenMode::pmCopy;
};

class TBrush : public TGraphicsObject {
 public:
  TBrush();
  ~TBrush() override;

  TColor Color() const { return resource_->description.Color; }
  // A clear brush given a colour becomes solid.
  void SetColor(TColor color);
  TBrushStyle Style() const { return resource_->description.Style; }
  // A clear brush is always white.
  void SetStyle(TBrushStyle style);

  HBRUSH BrushHandle();
  void CopyFrom(const TBrush& source);

  BrushResource* Resource() const { return resource_; }
  void SetResource(BrushResource* resource) { resource_ = resource; }

 private:
  BrushDescription ReadDescription() const;
  void Replace(const BrushDescription& description);

  BrushResource* resource_ = nullptr;
};

// The description of a font handle made elsewhere; the default description when the handle
// cannot be read.
FontDescription DescriptionFromHandle(HFONT handle);

}  // namespace wydruki::graphics
