#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/platform/Prompts.h"

namespace quillet {

// A web site offered in the "Links" menu: the caption begins with its
// number ("1. " to "21. "); the address is the menu item's hint.
struct WebLink {
  std::string caption;
  std::string address;
};

// The sites with free pictures and wallpapers, in menu order.
const std::vector<WebLink>& WebLinks();

// The service's page of frequently asked questions on `host`.
std::string FaqAddress(std::string_view host);

// The program that opens web pages: the first entry of $BROWSER when it is
// set and not empty, else "xdg-open".
std::string BrowserProgram();

// Starts `browser` with the address as its one argument, in the browser's
// folder, without waiting for it. When it cannot be started, shows an error
// box with the system's text (at most 255 characters), a blank and the
// browser's path, and returns false.
bool OpenWebPageWith(const std::string& browser, const std::string& address, Prompts& prompts);

// The same with BrowserProgram().
bool OpenWebPage(const std::string& address, Prompts& prompts);

}  // namespace quillet
