// The binding between the main window's controls and the frame record: the
// track-bar scales, the colour panels and inverted alpha bars, the number
// texts of the edits, and the two directions of the binding -- showing a
// record in the controls and reading the controls back (stopping at the first
// edit whose text is not a number), with the keying of changed parameters at
// the current frame.  The controls are described by a plain value so that the
// rules run without a window; a window mirrors that value in its widgets.
// Which control shows which field, with which scale and in which order, is
// the parameter table's.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "anim/CurveSet.h"
#include "render/Render.h"

namespace velmora {

// A track bar's range and the factor between a field value and a position.
struct TTrackBarScale {
  int32_t Min;
  int32_t Max;
  long double Scale;  // position = round(value * Scale); value = position / Scale
};

// The track bar of curve CURVE (a TParamControl::TrackBar row of the parameter
// table): its range and step give the positions and the scale.
TTrackBarScale TrackBarOf(int curve);
// The alpha bars: 0..255, position = 255 - alpha.
inline constexpr TTrackBarScale AlphaBar{0, 255, 1};

// round(value * Scale) half-even, clamped to the bar's range (a value outside
// the range shows at the bar's end).
int32_t TrackBarPosition(const TTrackBarScale& bar, long double value);
long double TrackBarValue(const TTrackBarScale& bar, int32_t position);

// Colour panels hold R + 256 G + 65536 B; alpha bars show 255 - A.
uint32_t PanelColour(const ColorRGBA& c);
void SetFromPanelColour(ColorRGBA& c, uint32_t panel);
int32_t AlphaBarPosition(uint8_t alpha);
uint8_t AlphaFromBar(int32_t position);

// The edits' number texts: integers in plain decimal (optional blanks around,
// optional sign, 32-bit range), reals in the program's number form ("." as the
// decimal point, blanks around allowed).
std::optional<int32_t> ParseIntegerText(std::string_view text);
std::optional<long double> ParseRealText(std::string_view text);

// What the controls hold is a TFormState (anim/ParamTable.h): one member for
// each control that a row of the parameter table names.

// Writes PARAMS into FORM.  A pile mode or layer order outside the known
// values leaves those buttons as they are.
void ShowParamsInForm(const TCloudFrameParams& params, TFormState& form);

// The edit whose text stopped a read.
struct TFormReadError {
  const char* Control = "";  // the control's name, e.g. "Seed"
  std::string Text;          // the text that is not a number
  bool Integer = false;      // an integer edit (else a real one)
};

// Reads FORM into PARAMS in the window's fixed order (the rows' read
// positions; the texture controls, which have no row, right after the seed).  At an edit whose text
// is not a number it stops: the fields before it have their new values, the
// later ones keep theirs, and the result is false with ERROR filled.
bool ReadFormInto(const TFormState& form, TCloudFrameParams& params, TFormReadError* error);

// Reads the controls and, when KEY is set, no preview render runs
// (PREVIEW_BUSY false) and the engine is idle (RENDER_IDLE true), keys at
// FRAME every curve whose value there differs from its control.  A failed
// read writes no key.
bool ReadParams(const TFormState& form, TCloudFrameParams& params, TCloudCurveSet* set,
                int32_t frame, bool key, bool renderIdle, bool previewBusy,
                TFormReadError* error);

}  // namespace velmora
