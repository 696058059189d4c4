// Every control and chart series the program's sources name by a literal key exists in the
// session a front end gets: a misspelt key would otherwise fail only when its command runs.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "support/recording_host.h"

namespace tarvex {
namespace {

namespace fs = std::filesystem;

// Names of that shape that are not keys of the store: a menu bar, a widget of the fit window's
// own, and the stem the fit window recognises its fields by.
const std::set<std::string>& notKeys() {
  static const std::set<std::string> names = {"TFSample.MainMenu", "TFFit.View.Bounds",
                                              "TFFit.Edit"};
  return names;
}

// "Form.Control" literals of the sources outside the catalogues, which define the keys. A
// literal ending in '.' or in a digit-less stem completed at run time is a prefix, not a key.
std::map<std::string, std::string> namedKeys() {
  static const std::regex literal(R"re("((?:TF|TFrame|Chart)[A-Za-z0-9]+\.[A-Za-z0-9_.]+)")re");
  std::map<std::string, std::string> keys;  // key -> the file that names it
  for (const auto& entry : fs::recursive_directory_iterator(fs::path(TARVEX_SOURCE_DIR) / "src")) {
    const fs::path& path = entry.path();
    if (!entry.is_regular_file() || (path.extension() != ".cpp" && path.extension() != ".h")) {
      continue;
    }
    if (path.filename().string().find("catalogue") != std::string::npos) continue;
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    const std::string s = text.str();
    for (std::sregex_iterator it(s.begin(), s.end(), literal), end; it != end; ++it) {
      const std::string key = (*it)[1];
      // A key completed where it is used: "TFHG.Editel" + row, key("TFLayers.Button", i).
      const std::size_t after = static_cast<std::size_t>(it->position(0) + it->length(0));
      const std::size_t next = s.find_first_not_of(" \n", after);
      if (next != std::string::npos && (s[next] == '+' || s[next] == ',')) continue;
      if (notKeys().count(key) != 0) continue;
      keys.emplace(key, fs::relative(path, TARVEX_SOURCE_DIR).string());
    }
  }
  return keys;
}

TEST(ControlNames, EveryKeyTheSourcesNameExists) {
  testing::SessionFixture f;
  const auto keys = namedKeys();
  ASSERT_GT(keys.size(), 100u);  // the search found the sources
  std::set<std::string> missing;
  for (const auto& [key, file] : keys) {
    if (f.session.controls().has(key) || f.session.charts().has(key)) continue;
    missing.insert(key + " (" + file + ")");
  }
  std::string list;
  for (const std::string& m : missing)
    list += "\n  " + m;
  EXPECT_TRUE(missing.empty()) << "keys named in the sources that no control or series has:"
                               << list;
}

}  // namespace
}  // namespace tarvex
