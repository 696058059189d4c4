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
#include <dlfcn.h>

#include "state/session.h"
#endif

namespace {

extern "C" void onInterrupt(int /*signal*/) {
  tarvex::interruptScript();
}

#ifdef TARVEX_CLI_REPORT_PDF
// The desktop program's page painter, in a module beside the program (tarvex-report-pdf.so),
// loaded with the first report a script writes: scripts that write none do not load the
// toolkit's libraries. The module stays loaded until the program ends.
class ReportPdfModule {
 public:
  ReportPdfModule() = default;
  ReportPdfModule(const ReportPdfModule&) = delete;
  ReportPdfModule& operator=(const ReportPdfModule&) = delete;
  ~ReportPdfModule() {
    if (end_ != nullptr) end_();
  }

  tarvex::ReportPdf write(tarvex::Session& session, const std::string& page,
                          const std::string& file) {
    if (!loaded_) load();
    if (write_ == nullptr) return tarvex::ReportPdf::Unsupported;
    return write_(&session, page.c_str(), file.c_str()) != 0 ? tarvex::ReportPdf::Written
                                                             : tarvex::ReportPdf::Failed;
  }

 private:
  using Write = int (*)(tarvex::Session*, const char*, const char*);
  using End = void (*)();

  void load() {
    loaded_ = true;
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    const std::filesystem::path folder = ec ? std::filesystem::path(".") : self.parent_path();
    // Beside the program in a build tree; in the library folder once installed.
    std::filesystem::path module = folder / "tarvex-report-pdf.so";
    if (!std::filesystem::is_regular_file(module, ec)) {
      module = (folder / TARVEX_MODULE_FROM_BIN / "tarvex-report-pdf.so").lexically_normal();
    }
    void* handle = dlopen(module.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
      std::cerr << "tarvex-cli: " << dlerror() << '\n';
      return;
    }
    write_ = reinterpret_cast<Write>(dlsym(handle, "tarvex_write_report_pdf"));
    end_ = reinterpret_cast<End>(dlsym(handle, "tarvex_end_report_pdf"));
    if (write_ == nullptr || end_ == nullptr) {
      write_ = nullptr;
      end_ = nullptr;
    }
  }

  bool loaded_ = false;
  Write write_ = nullptr;
  End end_ = nullptr;
};
#endif

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
  // Report PDFs are drawn by the desktop program's page painter, loaded with the first one a
  // script writes.
  ReportPdfModule pdf;
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
