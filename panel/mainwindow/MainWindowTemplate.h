#pragma once
// Dialog resource 102: the main window's layout.

#include "dialogkit/DialogTemplate.h"

extern const DialogTemplate kTransmitterDialogTemplate;

#include <span>

// The scale texts under the sliders. Their template places them roughly; at
// set-up each is centred under the thumb's centre at its end of the range
// (or under the middle of the channel, for the unit).
enum class ScaleEnd { Minimum, Middle, Maximum };
struct ScaleText {
    int id;        // the text's control id in the template
    int sliderId;  // the slider it labels
    ScaleEnd end;
};
extern const std::span<const ScaleText> kScaleTexts;
