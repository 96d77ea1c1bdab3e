// An action as text: the bytes of an action file (descriptors.h) in base64, so that a script can
// hold a correction in a string, pass it to a run and get the run's own back.
#pragma once

#include <string>

std::string ActionToText(const std::string& bytes);
// False when the text is not base64 (white space is ignored).
bool ActionFromText(const std::string& text, std::string* bytes);
