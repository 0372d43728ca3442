// SPDX-License-Identifier: MIT
#include "pp2/WyborFonty.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <vector>

#include "Graphics/Colors.h"
#include "resources/ProgramResources.h"

namespace wydruki::pp2 {

TWyborFonty* WyborFonty = nullptr;

namespace {

using forms::Bounds;
using forms::TObject;

constexpr BYTE kMonospaceTrueType = 0x36;
constexpr int kBoxCellHeight = 28;

// The samples, in Windows-1250.
constexpr const char* kCapitalSample =
    "Przyk\xB3"
    "ad: \xA5\xCA\xC6\xA3\xD1\xD3\x8C\xD3\xAF\x8F.";
constexpr const char* kSmallSample =
    "przyk\xB3"
    "ad: \xB9\xEA\xE6\xB3\xF1\xF3\x9C\xF3\xBF\x9F.";

forms::FormLayout DialogLayout() {
  forms::FormLayout layout;
  layout.class_name = "TWyborFonty";
  layout.caption = "Wyb\xF3r Font\xF3w";
  layout.width = 517 + 6;
  layout.height = 396 + 25;
  layout.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | WS_CLIPSIBLINGS;
  layout.ex_style = WS_EX_DLGMODALFRAME;
  layout.position = forms::TPosition::poScreenCenter;
  return layout;
}

int CALLBACK CollectFamily(const LOGFONTA* font, const TEXTMETRICA*, DWORD, LPARAM data) {
  reinterpret_cast<std::vector<std::string>*>(data)->push_back(font->lfFaceName);
  return 1;
}

bool LessIgnoringCase(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) <
           std::tolower(static_cast<unsigned char>(y));
  });
}

bool EqualIgnoringCase(const std::string& a, const std::string& b) {
  return !LessIgnoringCase(a, b) && !LessIgnoringCase(b, a);
}

// The screen's font list: "Default", then every family the system has for any character set,
// once each, in alphabetical order without regard to letter case.
std::vector<std::string> ScreenFontNames() {
  std::vector<std::string> families;
  if (HDC screen = GetDC(nullptr)) {
    LOGFONTA query{};
    query.lfCharSet = DEFAULT_CHARSET;
    EnumFontFamiliesExA(screen, &query, reinterpret_cast<FONTENUMPROCA>(&CollectFamily),
                        reinterpret_cast<LPARAM>(&families), 0);
    ReleaseDC(nullptr, screen);
  }
  std::sort(families.begin(), families.end(), LessIgnoringCase);
  families.erase(std::unique(families.begin(), families.end(), EqualIgnoringCase), families.end());
  families.insert(families.begin(), "Default");
  return families;
}

// The face the font mapper takes for a fixed-pitch font of the modern family when no face is
// named, as it realises it on the screen; empty when it cannot say.
std::string MapperFixedPitchFace() {
  LOGFONTA query{};
  query.lfHeight = kBoxCellHeight;
  query.lfCharSet = EASTEUROPE_CHARSET;
  query.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
  const HFONT font = CreateFontIndirectA(&query);
  if (font == nullptr) return {};
  std::string face;
  if (HDC screen = GetDC(nullptr)) {
    const HGDIOBJ previous = SelectObject(screen, font);
    char name[LF_FACESIZE] = {};
    if (GetTextFaceA(screen, sizeof name, name) > 0) face = name;
    SelectObject(screen, previous);
    ReleaseDC(nullptr, screen);
  }
  DeleteObject(font);
  return face;
}

}  // namespace

bool MonospaceFontFilter(const TEXTMETRICA& metrics) {
  return metrics.tmPitchAndFamily == kMonospaceTrueType;
}

TWyborFonty::TWyborFonty(forms::TComponent* owner) : forms::TCustomForm(owner, DialogLayout()) {
  Label1 = new forms::TLabel(this, Bounds{24, 8, 90, 13}, "Rodzaj czcionki :");
  FontyRodzaj = new forms::TComboBox(this, Bounds{24, 32, 145, 21});
  FontyRodzaj->SetText("Courier New");
  Label3 = new forms::TLabel(this, Bounds{208, 72, 70, 13}, "Wysoko\x9C\xE6 % :");
  Wys = new forms::TMaskEdit(this, Bounds{280, 64, 49, 21});
  Wys->SetText("100");
  Label4 = new forms::TLabel(this, Bounds{208, 8, 50, 13}, "Grubo\x9C\xE6 :");
  Grubosc = new forms::TComboBox(this, Bounds{208, 32, 145, 21});
  for (const char* weight : {"Ma\xB3"
                             "a",
                             "Normalna", "\x8Crednia",
                             "Du\xBF"
                             "a",
                             "Bardzo du\xBF"
                             "a"})
    Grubosc->AddItem(weight);
  Grubosc->SetItemIndex(1);
  Label6 = new forms::TLabel(this, Bounds{16, 256, 130, 13}, "Czcionka zmodyfikowana :");
  Panel1 = new forms::TPanel(this, Bounds{16, 272, 489, 113});
  Box = new forms::TPaintBox(this, Bounds{18, 274, 485, 109});
  Box->OnPaint = [this](TObject*) { DrawSample(*Box); };
  Box->Font().SetName("Courier New");
  Box->Font().SetColor(graphics::clBlack);
  Box->Font().SetCharset(EASTEUROPE_CHARSET);
  Box->Font().SetHeight(kBoxCellHeight);
  OK = new forms::TBitBtn(this, Bounds{408, 16, 89, 25}, "OK");
  OK->ModalResult = forms::mrOk;
  OK->SetGlyph(resources::kGlyphOk);
  OK->OnClick = [this](TObject* sender) { OKClick(sender); };
  Label5 = new forms::TLabel(this, Bounds{16, 120, 60, 13}, "Czcionka  :");
  Panel2 = new forms::TPanel(this, Bounds{16, 136, 489, 113});
  Box2 = new forms::TPaintBox(this, Bounds{18, 138, 485, 109});
  Box2->OnPaint = [this](TObject*) { DrawSample(*Box2); };
  Box2->Font().SetName("Courier New");
  Box2->Font().SetColor(graphics::clMaroon);
  Box2->Font().SetCharset(EASTEUROPE_CHARSET);
  Box2->Font().SetSize(8);
  BitBtn2 = new forms::TBitBtn(this, Bounds{408, 104, 89, 25}, "&Zastosuj");
  BitBtn2->Default = true;
  BitBtn2->SetGlyph(resources::kGlyphFont);
  BitBtn2->OnClick = [this](TObject* sender) { BitBtn2Click(sender); };
  Anuluj = new forms::TBitBtn(this, Bounds{408, 56, 89, 25}, "&Anuluj");
  Anuluj->SetKind(forms::TBitBtnKind::bkCancel);
  Anuluj->OnClick = [this](TObject* sender) { AnulujClick(sender); };
  Zamiennik = new forms::TLabel(this, Bounds{24, 60, 176, 52}, "");
  Zamiennik->SetVisible(false);
  OnCreate = [this](TObject* sender) { FormCreate(sender); };
  OnShow = [this](TObject* sender) { FormShow(sender); };
}

TWyborFonty::~TWyborFonty() {
  if (WyborFonty == this) WyborFonty = nullptr;
}

std::string TWyborFonty::PreviewFaceName() const { return Box->Font().Name(); }

void TWyborFonty::SetFaceName(const std::string& face) { PreviewFont().SetName(ResolveFace(face)); }

std::string TWyborFonty::ResolveFace(const std::string& face) {
  const auto& faces = FontyRodzaj->Items();
  // Before the list is filled, or when no face passes the filter, there is nothing to offer.
  if (faces.empty()) return face;
  const int listed = FontyRodzaj->IndexOf(face);
  if (listed >= 0) {
    Zamiennik->SetVisible(false);
    return face;
  }
  // A face that is not installed would leave the choice to the font mapper with no pitch
  // asked for, and a proportional face tears every column of the grid apart.
  int chosen = FontyRodzaj->IndexOf(MapperFixedPitchFace());
  if (chosen < 0) chosen = 0;
  const std::string& substitute = faces[static_cast<std::size_t>(chosen)];
  Zamiennik->SetCaption("Brak czcionki \"" + face + "\", u\xBFyto \"" + substitute + "\".");
  Zamiennik->SetVisible(true);
  return substitute;
}

void TWyborFonty::FillFaceList() {
  graphics::TFont& measuring = Box->Font();
  HDC screen = GetDC(nullptr);
  if (screen == nullptr) return;
  // Measuring borrows the preview font; its face is given back afterwards, so that a settings
  // file with an empty face line leaves the standard face, not the last one measured.
  const std::string face = measuring.Name();
  for (const std::string& name : ScreenFontNames()) {
    measuring.SetName(name);
    const HGDIOBJ previous = SelectObject(screen, measuring.FontHandle());
    TEXTMETRICA metrics{};
    const bool measured = GetTextMetricsA(screen, &metrics) != FALSE;
    SelectObject(screen, previous);
    if (measured && MonospaceFontFilter(metrics)) FontyRodzaj->AddItem(name);
  }
  ReleaseDC(nullptr, screen);
  measuring.SetName(face);
}

void TWyborFonty::FormCreate(TObject*) {
  FillFaceList();
  Grubosc->SetItemIndex(1);
  LoadFontSettings(this);
  FontyRodzaj->SetItemIndex(FontyRodzaj->IndexOf(PreviewFaceName()));
  RefreshPreview();
}

void TWyborFonty::FormShow(TObject*) {
  SavedPrintLogFont = PrintLogFont;
  SavedHeightText = Wys->Text();
  SavedFaceIndex = FontyRodzaj->ItemIndex();
  SavedWeightIndex = Grubosc->ItemIndex();
  RefreshPreview();
}

void TWyborFonty::DrawSample(forms::TPaintBox& box) {
  auto& canvas = box.Canvas();
  canvas.Brush().SetStyle(graphics::TBrushStyle::bsSolid);
  canvas.Brush().SetColor(graphics::clWhite);
  canvas.FillArea(RECT{0, 0, box.Width(), box.Height()});
  canvas.Brush().SetColor(graphics::clWhite);
  canvas.Brush().SetStyle(graphics::TBrushStyle::bsClear);
  canvas.WriteText(10, 10, kCapitalSample);
  canvas.WriteText(10, 75, kSmallSample);
}

void TWyborFonty::RefreshPreview() {
  BuildPrintLogFont(FontyRodzaj->Text(), Wys->Text(), Grubosc->ItemIndex());
  PreviewFont().SetFontHandle(CreateFontIndirectA(&PrintLogFont));
  DrawSample(*Box);
  Box2->Font().SetFontHandle(CreateFontIndirectA(&SavedPrintLogFont));
  DrawSample(*Box2);
}

void TWyborFonty::BitBtn2Click(TObject*) { RefreshPreview(); }

void TWyborFonty::OKClick(TObject*) { SaveFontSettings(*this); }

void TWyborFonty::AnulujClick(TObject*) {
  Wys->SetText(SavedHeightText);
  FontyRodzaj->SetItemIndex(SavedFaceIndex);
  Grubosc->SetItemIndex(SavedWeightIndex);
  RefreshPreview();
}

}  // namespace wydruki::pp2
