// tarvex-cli: runs a script of user actions (from a file, or standard input) headless.
#include <clocale>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "app/app.h"
#include "cli/script.h"
#ifdef TARVEX_CLI_REPORT_PDF
#include "ui/report_page.h"
#endif

namespace {

extern "C" void onInterrupt(int /*signal*/) {
  tarvex::interruptScript();
}

}  // namespace

int main(int argc, char** argv) {
  // As a desktop program does: the process takes the user's locale. Number text must not
  // follow it (the program converts numbers itself), and the tests run this way too.
  std::setlocale(LC_ALL, "");
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0 ||
                    std::strcmp(argv[1], "help") == 0)) {
    std::cout << tarvex::helpText();
    return 0;
  }
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::cout << "tarvex-cli " << tarvex::kVersion << '\n';
    return 0;
  }
  if (argc > 2 || (argc == 2 && argv[1][0] == '-' && argv[1][1] != '\0')) {
    std::cerr << "usage: tarvex-cli [SCRIPT] | --help | --version\n";
    return tarvex::exitStatus::badScript;
  }
  std::signal(SIGINT, onInterrupt);
#ifdef TARVEX_CLI_REPORT_PDF
  // Report PDFs are drawn by the desktop program's page painter; the toolkit starts with the
  // first one a script writes.
  tarvex::ui::OffscreenReportPdf pdf;
  tarvex::setReportPdfWriter(
      [&pdf](tarvex::Session& session, const std::string& page, const std::string& file) {
        return pdf.write(session, page, file);
      });
  struct Forget {
    ~Forget() { tarvex::setReportPdfWriter({}); }
  } forget;
#endif
  if (argc == 2 && std::strcmp(argv[1], "-") != 0) {
    std::error_code ec;
    if (std::filesystem::is_directory(argv[1], ec)) {
      std::cerr << "tarvex-cli: " << argv[1] << " is a folder, not a script\n";
      return tarvex::exitStatus::badScript;
    }
    std::ifstream file(argv[1]);
    if (!file) {
      std::cerr << "tarvex-cli: cannot open " << argv[1] << '\n';
      return tarvex::exitStatus::badScript;
    }
    return tarvex::runScript(file, std::cout, std::cerr);
  }
  return tarvex::runScript(std::cin, std::cout, std::cerr);
}
