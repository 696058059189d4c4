// The control store: every control of every window as a named value "Form.Control" (text,
// enabled and checked states, list items), so the logic runs with or without windows.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace tarvex {

enum class ControlKind {
  Form,
  Frame,
  Edit,
  Check,
  Radio,
  RadioGroup,  // one control with items, one of them selected (itemIndex)
  Button,
  MenuItem,
  List,
  Combo,  // items from a design text "A|B" (the first selected), or set at run time
  Panel,  // a status-bar panel or simple status text
  Memo,
};

struct Control {
  ControlKind kind = ControlKind::Edit;
  std::string caption;  // caption of a button, check or form; label of an edit
  std::string text;     // edit text, panel text, combo text
  bool enabled = true;
  bool checked = false;
  bool visible = true;
  bool readOnly = false;
  std::string group;   // radio group within the form
  std::string action;  // action a button or menu item runs
  std::vector<std::string> items;
  int itemIndex = -1;
};

// One row of the catalogue: the design state of a control.
struct ControlSpec {
  const char* key;
  ControlKind kind;
  const char* caption;
  const char* text = "";
  bool checked = false;
  bool enabled = true;
  const char* group = "";
  const char* action = "";
  bool readOnly = false;
};

// Every control of the program with its design state.
const std::vector<ControlSpec>& controlCatalogue();

class ControlStore {
 public:
  using Observer = std::function<void(const std::string& key)>;
  // Told what an append added to a text (a log view appends it instead of redrawing the text).
  using AppendObserver = std::function<void(const std::string& key, const std::string& appended)>;
  using Handler = std::function<void()>;

  // Fills the store from the catalogue (design state).
  ControlStore();

  bool has(const std::string& key) const { return controls_.count(key) != 0; }
  const Control& get(const std::string& key) const;
  const std::map<std::string, Control>& all() const { return controls_; }

  const std::string& text(const std::string& key) const { return get(key).text; }
  bool checked(const std::string& key) const { return get(key).checked; }
  bool enabled(const std::string& key) const { return get(key).enabled; }

  void setText(const std::string& key, const std::string& text);
  // Appends to the text (the log grows by thousands of lines in a table build).
  void appendText(const std::string& key, const std::string& text);
  void setCaption(const std::string& key, const std::string& caption);
  void setEnabled(const std::string& key, bool enabled);
  void setVisible(const std::string& key, bool visible);
  // Sets the state without running the click handler; a radio button unchecks its group.
  void setChecked(const std::string& key, bool checked);
  void setItems(const std::string& key, std::vector<std::string> items);
  void addItem(const std::string& key, const std::string& item);
  // Selects an item of a list, combo box or radio group (-1: none); a combo box shows its text.
  void setItemIndex(const std::string& key, int index);

  // The handler a click (or a change of a combo box's selection) runs.
  void onClick(const std::string& key, Handler handler);
  bool hasHandler(const std::string& key) const { return handlers_.count(key) != 0; }
  // Runs the click handler of key, if any.
  void runHandler(const std::string& key) const;

  // Called after every change of a control (the GUI binds its widgets here), appends included.
  // Returns an id for unobserve(); a window that closes removes its observers. An observer may
  // remove itself or another one while it is being told of a change.
  int observe(Observer observer);
  void unobserve(int id);
  // Called after every appendText with the text appended (after the plain observers).
  int observeAppend(AppendObserver observer);
  void unobserveAppend(int id);

 private:
  Control& mutableGet(const std::string& key);
  void notify(const std::string& key) const;

  std::map<std::string, Control> controls_;
  std::map<std::string, Handler> handlers_;
  std::map<int, Observer> observers_;
  std::map<int, AppendObserver> appendObservers_;
  int nextObserverId_ = 1;
};

}  // namespace tarvex
