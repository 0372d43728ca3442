// SPDX-License-Identifier: MIT
// The font selection dialog: the user picks a monospaced face, one of five weights and a height
// in percent for the chosen-font print path, and sees the font as it was when the dialog
// opened (upper box) and as printing will use it from now on (lower box).
#pragma once

#include <cstdint>
#include <string>

#include "Forms/Buttons.h"
#include "Forms/Controls.h"
#include "Forms/Form.h"
#include "pp2/FontSettings.h"
#include "platform/winapi.h"

namespace wydruki::pp2 {

// The face list takes monospaced TrueType faces of the modern family: pitch and family 0x36.
bool MonospaceFontFilter(const TEXTMETRICA& metrics);

class TWyborFonty : public forms::TForm, public FontDialogValues {
 public:
  explicit TWyborFonty(forms::TComponent* owner);
  ~TWyborFonty() override;

  void FormCreate(forms::TObject* sender);
  void FormShow(forms::TObject* sender);
  void RefreshPreview();
  void BitBtn2Click(forms::TObject* sender);
  void OKClick(forms::TObject* sender);
  void AnulujClick(forms::TObject* sender);

  // The font of the lower sample box: it carries the chosen face.
  graphics::TFont& PreviewFont() { return Box->Font(); }
  std::string PreviewFaceName() const;

  // A face of the list for `face`: itself when listed, else an installed fixed-pitch face (the
  // font mapper's choice when listed, else the first in the list), which Zamiennik then names.
  std::string ResolveFace(const std::string& face);

  // The dialog's three persistent values (font.def).
  std::string FaceName() const override { return PreviewFaceName(); }
  void SetFaceName(const std::string& face) override;
  std::string HeightText() const override { return Wys->Text(); }
  void SetHeightText(const std::string& text) override { Wys->SetText(text); }
  std::int32_t WeightIndex() const override { return Grubosc->ItemIndex(); }
  void SetWeightIndex(std::int32_t index) override { Grubosc->SetItemIndex(index); }

  forms::TLabel* Label1;
  forms::TComboBox* FontyRodzaj;
  forms::TLabel* Label3;
  forms::TMaskEdit* Wys;
  forms::TLabel* Label4;
  forms::TComboBox* Grubosc;
  forms::TLabel* Label6;
  forms::TPanel* Panel1;
  forms::TPaintBox* Box;
  forms::TBitBtn* OK;
  forms::TLabel* Label5;
  forms::TPanel* Panel2;
  forms::TPaintBox* Box2;
  forms::TBitBtn* BitBtn2;
  forms::TBitBtn* Anuluj;
  // Says which installed face stands in for a chosen face that is not installed.
  forms::TLabel* Zamiennik;

  LOGFONTA SavedPrintLogFont{};
  std::string SavedHeightText;
  std::int32_t SavedFaceIndex = -1;
  std::int32_t SavedWeightIndex = -1;

 private:
  void FillFaceList();
  void DrawSample(forms::TPaintBox& box);
};

// The single dialog; it exists from the moment its construction begins.
extern TWyborFonty* WyborFonty;

}  // namespace wydruki::pp2
