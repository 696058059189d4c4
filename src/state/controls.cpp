#include "state/controls.h"

#include <stdexcept>

namespace tarvex {

ControlStore::ControlStore() {
  for (const ControlSpec& s : controlCatalogue()) {
    Control c;
    c.kind = s.kind;
    c.caption = s.caption;
    c.text = s.text;
    c.checked = s.checked;
    c.enabled = s.enabled;
    c.group = s.group;
    c.action = s.action;
    c.readOnly = s.readOnly;
    if (c.kind == ControlKind::RadioGroup || (c.kind == ControlKind::Combo && !c.text.empty())) {
      // The text lists the items separated by '|', the first one selected.
      std::string items = s.text;
      std::size_t from = 0;
      while (from <= items.size()) {
        const std::size_t bar = items.find('|', from);
        c.items.push_back(items.substr(from, bar == std::string::npos ? bar : bar - from));
        if (bar == std::string::npos) break;
        from = bar + 1;
      }
      c.itemIndex = 0;
      c.text = c.items.front();
    }
    controls_.emplace(s.key, std::move(c));
  }
}

const Control& ControlStore::get(const std::string& key) const {
  auto it = controls_.find(key);
  if (it == controls_.end()) throw std::out_of_range("no control named " + key);
  return it->second;
}

Control& ControlStore::mutableGet(const std::string& key) {
  auto it = controls_.find(key);
  if (it == controls_.end()) throw std::out_of_range("no control named " + key);
  return it->second;
}

namespace {

// Calls every observer registered when the notification starts and still registered when its
// turn comes, so that one may remove itself or another (a window closing in reaction).
template <class Map, class... Args>
void notifyAll(const Map& observers, const Args&... args) {
  if (observers.empty()) return;
  std::vector<int> ids;
  ids.reserve(observers.size());
  for (const auto& [id, o] : observers)
    ids.push_back(id);
  for (int id : ids) {
    auto it = observers.find(id);
    if (it != observers.end()) it->second(args...);
  }
}

}  // namespace

void ControlStore::notify(const std::string& key) const {
  notifyAll(observers_, key);
}

int ControlStore::observe(Observer observer) {
  const int id = nextObserverId_++;
  observers_.emplace(id, std::move(observer));
  return id;
}

void ControlStore::unobserve(int id) {
  observers_.erase(id);
}

int ControlStore::observeAppend(AppendObserver observer) {
  const int id = nextObserverId_++;
  appendObservers_.emplace(id, std::move(observer));
  return id;
}

void ControlStore::unobserveAppend(int id) {
  appendObservers_.erase(id);
}

void ControlStore::setText(const std::string& key, const std::string& text) {
  mutableGet(key).text = text;
  notify(key);
}

void ControlStore::appendText(const std::string& key, const std::string& text) {
  mutableGet(key).text += text;
  notify(key);
  notifyAll(appendObservers_, key, text);
}

void ControlStore::setCaption(const std::string& key, const std::string& caption) {
  mutableGet(key).caption = caption;
  notify(key);
}

void ControlStore::setEnabled(const std::string& key, bool enabled) {
  mutableGet(key).enabled = enabled;
  notify(key);
}

void ControlStore::setVisible(const std::string& key, bool visible) {
  mutableGet(key).visible = visible;
  notify(key);
}

void ControlStore::setChecked(const std::string& key, bool checked) {
  Control& c = mutableGet(key);
  c.checked = checked;
  if (c.kind == ControlKind::Radio && checked) {
    // A radio button unchecks the others of its group in the same form.
    const std::string form = key.substr(0, key.find('.'));
    for (auto& [k, other] : controls_) {
      if (k != key && other.kind == ControlKind::Radio && other.group == c.group &&
          k.compare(0, form.size() + 1, form + ".") == 0 && other.checked) {
        other.checked = false;
        notify(k);
      }
    }
  }
  notify(key);
}

void ControlStore::setItems(const std::string& key, std::vector<std::string> items) {
  Control& c = mutableGet(key);
  c.items = std::move(items);
  c.itemIndex = -1;
  notify(key);
}

void ControlStore::addItem(const std::string& key, const std::string& item) {
  mutableGet(key).items.push_back(item);
  notify(key);
}

void ControlStore::setItemIndex(const std::string& key, int index) {
  Control& c = mutableGet(key);
  if (index < -1 || index >= static_cast<int>(c.items.size())) {
    throw std::out_of_range("item " + std::to_string(index) + " of " + key);
  }
  c.itemIndex = index;
  if (c.kind == ControlKind::Combo || c.kind == ControlKind::RadioGroup) {
    c.text = index >= 0 ? c.items[static_cast<std::size_t>(index)] : std::string();
  }
  notify(key);
}

void ControlStore::onClick(const std::string& key, Handler handler) {
  mutableGet(key);  // the control must exist
  handlers_[key] = std::move(handler);
}

void ControlStore::runHandler(const std::string& key) const {
  auto it = handlers_.find(key);
  if (it != handlers_.end()) it->second();
}

}  // namespace tarvex
