// The try-out program's files: images as documents of our host, and a
// settings file as the action the host plays.
#pragma once

#include <string>

#include "../minihost/MiniHost.h"

// A .pfm file ("PF", three float channels, either byte order) becomes a 32-bit
// RGB document, a .ppm file with 16-bit samples ("P6", maximum 256..65535) a
// 16-bit one, its samples scaled to the host's codes 0..32768. False with the
// reason in `problem` for anything else.
bool ReadImageFile(const std::string& path, HostDocument* document, std::string* problem);

// Writes an RGB document by the file's extension: .pfm as floats (a 16-bit
// document's codes divided by 32768), .ppm as 16-bit samples (float values
// clipped to 0..1).
bool WriteImageFile(const std::string& path, const HostDocument& document, std::string* problem);

// The fifteen settings of a settings file as the action the host plays, as
// the dialog's "Load..." takes them: settings the file lacks are 0 (Gamma
// 1.00).
bool ReadSettingsAction(const std::string& path, DescriptorList* action, std::string* problem);
