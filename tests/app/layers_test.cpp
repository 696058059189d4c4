// The models stand on their own: nothing in nra/, meis/ or fit/ knows a session, a file, a
// command or a window, or names a control.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

namespace {

TEST(Layers, ModelsIncludeOnlyTheCoreAndEachOther) {
  const std::filesystem::path src = std::filesystem::path(TARVEX_SOURCE_DIR) / "src";
  const std::regex include(R"(#\s*include\s*"([a-z_]+)/)");
  // A control is named "Form.Control", the form's name starting with T and a capital.
  const std::regex control(R"("T[A-Z][A-Za-z0-9]*\.[A-Za-z])");
  int files = 0;
  for (const char* layer : {"nra", "meis", "fit"}) {
    for (const auto& entry : std::filesystem::directory_iterator(src / layer)) {
      std::ifstream in(entry.path());
      std::stringstream text;
      text << in.rdbuf();
      const std::string body = text.str();
      ++files;
      for (std::sregex_iterator it(body.begin(), body.end(), include), end; it != end; ++it) {
        const std::string used = (*it)[1];
        EXPECT_TRUE(used == "core" || used == "nra" || used == "meis" || used == "fit")
            << entry.path() << " includes " << used << "/";
      }
      std::smatch m;
      EXPECT_FALSE(std::regex_search(body, m, control))
          << entry.path() << " names the control " << m.str();
    }
  }
  EXPECT_GE(files, 10);
}

}  // namespace
