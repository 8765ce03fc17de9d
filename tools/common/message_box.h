// Message box: shows a text to the user with a title and the information icon, and returns when
// the user has closed it.
#pragma once

#include <string>

namespace corvane {

void ShowInformation(const char* title, const std::string& text);

}  // namespace corvane
