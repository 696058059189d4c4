// The action list: every command of the program by name, with its caption and category, as the
// menus, buttons and tarvex-cli's help show them.
#pragma once

#include <string>
#include <vector>

namespace tarvex {

struct ActionSpec {
  const char* name;
  const char* caption;
  const char* category;  // "Calculations", "Plots", "Profile", "File-Load", "File-Save", "Fit",
                         // "Stopping" or ""
};

// In the order of the action list, grouped by category.
const std::vector<ActionSpec>& actionCatalogue();
// The entry of a name, or nullptr for an action that is not in the list.
const ActionSpec* findActionSpec(const std::string& name);
// How a menu that lists every command names the action: its caption, or, where several actions
// share a caption or the caption is the action's script name, words that say what it does
// ("Calculate: numeric resonant NRA").
std::string commandMenuText(const ActionSpec& action);

// One item of a menu: its control (caption and action live in the control catalogue) and the
// item it hangs under ("" for the menu's top level). In menu order.
struct MenuSpec {
  const char* menu;    // "MainMenu1", "TarvexPopup" or "TFSample.MainMenu"
  const char* parent;  // key of the submenu item, or ""
  const char* key;     // control key of the item
};
const std::vector<MenuSpec>& menuCatalogue();

// Menu items that show a window: item key and the form it shows.
struct ShowWindowSpec {
  const char* item;
  const char* form;
};
const std::vector<ShowWindowSpec>& showWindowItems();

}  // namespace tarvex
