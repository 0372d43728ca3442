// SPDX-License-Identifier: MIT
#include "Graphics/GraphicsObject.h"

#include <cstring>

#include "Graphics/GraphicsStartUp.h"

namespace wydruki::graphics {
namespace {

bool IsDefaultName(const std::string& name) {
  static constexpr char kDefault[] = "default";
  if (name.size() != sizeof kDefault - 1) return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    char c = name[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != kDefault[i]) return false;
  }
  return true;
}

LOGFONTA LogFontFor(const FontDescription& d) {
  LOGFONTA lf{};
  lf.lfHeight = d.Height;
  lf.lfWeight = d.Style.Contains(fsBold) ? FW_BOLD : FW_NORMAL;
  lf.lfItalic = d.Style.Contains(fsItalic) ? 1 : 0;
  lf.lfUnderline = d.Style.Contains(fsUnderline) ? 1 : 0;
  lf.lfStrikeOut = d.Style.Contains(fsStrikeOut) ? 1 : 0;
  lf.lfCharSet = d.Charset;
  lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
  lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  lf.lfQuality = DEFAULT_QUALITY;
  lf.lfPitchAndFamily = d.Pitch == TFontPitch::fpVariable ? VARIABLE_PITCH
                        : d.Pitch == TFontPitch::fpFixed  ? FIXED_PITCH
                                                          : DEFAULT_PITCH;
  const std::string& face = IsDefaultName(d.Name) ? DefaultFontDescription().Name : d.Name;
  std::strncpy(lf.lfFaceName, face.c_str(), sizeof lf.lfFaceName - 1);
  return lf;
}

}  // namespace

FontDescription DescriptionFromHandle(HFONT handle) {
  FontDescription d = DefaultFontDescription();
  LOGFONTA lf{};
  if (handle == nullptr || GetObjectA(handle, sizeof lf, &lf) == 0) return d;
  d.Height = lf.lfHeight;
  TFontStyles style;
  if (lf.lfWeight >= FW_BOLD) style = style.With(fsBold);
  if (lf.lfItalic == 1) style = style.With(fsItalic);
  if (lf.lfUnderline == 1) style = style.With(fsUnderline);
  if (lf.lfStrikeOut == 1) style = style.With(fsStrikeOut);
  d.Style = style;
  d.Charset = lf.lfCharSet;
  d.Name.assign(lf.lfFaceName, strnlen(lf.lfFaceName, kMaxFontNameLength));
  switch (lf.lfPitchAndFamily & 0x0F) {
    case 1:
      d.Pitch = TFontPitch::fpFixed;
      break;
    case 2:
      d.Pitch = TFontPitch::fpVariable;
      break;
    default:
      d.Pitch = TFontPitch::fpDefault;
  }
  d.origin = handle;
  return d;
}

// ---- TFont

TFont::TFont() : color_(clWindowText), resolution_(ScreenResolution()) {
  resource_ = FontCache().AcquireResource(DefaultFontDescription());
}

TFont::~TFont() { FontCache().ReleaseResource(resource_); }

FontDescription TFont::ReadDescription() const {
  FontDescription d = resource_->description;
  d.origin = nullptr;
  return d;
}

void TFont::Replace(const FontDescription& description) {
  CriticalSection::Guard guard(OwnerLock);
  FontCache().ReplaceResource(*this, description);
}

void TFont::SetName(std::string_view name) {
  if (name.empty()) return;
  FontDescription d = ReadDescription();
  d.Name = std::string(name.substr(0, kMaxFontNameLength));
  Replace(d);
}

int TFont::Size() const { return -MulDiv(Height(), 72, resolution_); }

void TFont::SetSize(int points) { SetHeight(-MulDiv(points, resolution_, 72)); }

void TFont::SetHeight(int height) {
  FontDescription d = ReadDescription();
  d.Height = height;
  Replace(d);
}

void TFont::SetStyle(TFontStyles style) {
  FontDescription d = ReadDescription();
  d.Style = style;
  Replace(d);
}

void TFont::SetCharset(TFontCharset charset) {
  FontDescription d = ReadDescription();
  d.Charset = charset;
  Replace(d);
}

void TFont::SetPitch(TFontPitch pitch) {
  FontDescription d = ReadDescription();
  d.Pitch = pitch;
  Replace(d);
}

void TFont::SetColor(TColor color) {
  if (color == color_) return;
  color_ = color;
  NotifyChange();
}

HFONT TFont::FontHandle() {
  return static_cast<HFONT>(FontCache().HandleFor(resource_, [](const FontDescription& d) {
    const LOGFONTA lf = LogFontFor(d);
    return static_cast<HGDIOBJ>(CreateFontIndirectA(&lf));
  }));
}

void TFont::SetFontHandle(HFONT handle) { Replace(DescriptionFromHandle(handle)); }

void TFont::CopyFrom(const TFont& source) {
  CriticalSection::Guard mine(OwnerLock);
  CriticalSection::Guard theirs(source.OwnerLock);
  FontCache().ShareResource(*this, source.resource_);
  SetColor(source.color_);
  if (resolution_ != source.resolution_) SetSize(source.Size());
}

// ---- TPen

TPen::TPen() { resource_ = PenCache().AcquireResource(PenDescription{}); }

TPen::~TPen() { PenCache().ReleaseResource(resource_); }

PenDescription TPen::ReadDescription() const {
  PenDescription d = resource_->description;
  d.origin = nullptr;
  return d;
}

void TPen::Replace(const PenDescription& description) {
  CriticalSection::Guard guard(OwnerLock);
  PenCache().ReplaceResource(*this, description);
}

void TPen::SetColor(TColor color) {
  PenDescription d = ReadDescription();
  d.Color = color;
  Replace(d);
}

void TPen::SetWidth(int width) {
  PenDescription d = ReadDescription();
  d.Width = width;
  Replace(d);
}

void TPen::SetStyle(TPenStyle style) {
  PenDescription d = ReadDescription();
  d.Style = style;
  Replace(d);
}

void TPen::SetMode(TPenMode mode) {
  if (mode == mode_) return;
  mode_ = mode;
  NotifyChange();
}

HPEN TPen::PenHandle() {
  return static_cast<HPEN>(PenCache().HandleFor(resource_, [](const PenDescription& d) {
    LOGPEN lp{};
    lp.lopnStyle = static_cast<UINT>(d.Style);
    lp.lopnWidth.x = d.Width;
    lp.lopnColor = ResolveColor(d.Color);
    return static_cast<HGDIOBJ>(CreatePenIndirect(&lp));
  }));
}

void TPen::CopyFrom(const TPen& source) {
  CriticalSection::Guard mine(OwnerLock);
  CriticalSection::Guard theirs(source.OwnerLock);
  PenCache().ShareResource(*this, source.resource_);
  SetMode(source.mode_);
}

// ---- TBrush

TBrush::TBrush() { resource_ = BrushCache().AcquireResource(BrushDescription{}); }

TBrush::~TBrush() { BrushCache().ReleaseResource(resource_); }

BrushDescription TBrush::ReadDescription() const {
  BrushDescription d = resource_->description;
  d.origin = nullptr;
  return d;
}

void TBrush::Replace(const BrushDescription& description) {
  CriticalSection::Guard guard(OwnerLock);
  BrushCache().ReplaceResource(*this, description);
}

void TBrush::SetColor(TColor color) {
  BrushDescription d = ReadDescription();
  d.Color = color;
  if (d.Style == TBrushStyle::bsClear) d.Style = TBrushStyle::bsSolid;
  Replace(d);
}

void TBrush::SetStyle(TBrushStyle style) {
  BrushDescription d = ReadDescription();
  d.Style = style;
  if (style == TBrushStyle::bsClear) d.Color = clWhite;
  Replace(d);
}

HBRUSH TBrush::BrushHandle() {
  return static_cast<HBRUSH>(BrushCache().HandleFor(resource_, [](const BrushDescription& d) {
    LOGBRUSH lb{};
    switch (d.Style) {
      case TBrushStyle::bsSolid:
        lb.lbStyle = BS_SOLID;
        break;
      case TBrushStyle::bsClear:
        lb.lbStyle = BS_HOLLOW;
        break;
      default:
        lb.lbStyle = BS_HATCHED;
        lb.lbHatch = static_cast<ULONG_PTR>(static_cast<int>(d.Style) - 2);
    }
    lb.lbColor = ResolveColor(d.Color);
    return static_cast<HGDIOBJ>(CreateBrushIndirect(&lb));
  }));
}

void TBrush::CopyFrom(const TBrush& source) {
  CriticalSection::Guard mine(OwnerLock);
  CriticalSection::Guard theirs(source.OwnerLock);
  BrushCache().ShareResource(*this, source.resource_);
}

}  // namespace wydruki::graphics
