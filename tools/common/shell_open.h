// Shell open: shows an internet shortcut's page in the user's default browser.
#pragma once

#include <string>

namespace corvane {

// Opens the shortcut file at `shortcut_path`, whose target is `url`. Returns a value above 32 on
// success, otherwise an error value of 32 or less, as the Windows shell reports them.
int OpenShortcut(const std::string& shortcut_path, const std::string& url);

}  // namespace corvane
