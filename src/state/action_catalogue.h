// The action list: every command of the program by name, with its caption and category, as the
// menus, buttons and tarvex-cli's help show them.
#pragma once

#include <string>
#include <vector>

namespace tarvex {

struct ActionSpec {
  const char* name;
  const char* caption;
  const char* category;  // "Calculations", "Plots", "Profile", "File-Load", "File-Save" or ""
};

// In the order of the action list, grouped by category.
const std::vector<ActionSpec>& actionCatalogue();
// The entry of a name, or nullptr for an action that is not in the list.
const ActionSpec* findActionSpec(const std::string& name);

}  // namespace tarvex
