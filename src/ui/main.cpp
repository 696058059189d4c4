// tarvex: the desktop program. The parameter files live in the user's configuration folder;
// file dialogs start in the folder the program was started in.
#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QLocale>
#include <QStandardPaths>

#include "app/app.h"
#include "state/session.h"
#include "ui/desktop.h"
#include "ui/gui_host.h"
#include "ui/icon.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tarvex"));
  QApplication::setApplicationDisplayName(QStringLiteral("Tarvex 3.0"));
  QApplication::setApplicationVersion(QStringLiteral(TARVEX_VERSION));
  QApplication::setWindowIcon(
      QIcon::fromTheme(QStringLiteral("tarvex"), tarvex::ui::programIcon()));

  const QString startFolder = QDir::currentPath();
  const QString config = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
  QDir().mkpath(config);

  tarvex::ui::QtHost host(startFolder);
  tarvex::Session session(host);
  tarvex::registerAllActions(session);
  // Numbers typed and shown in the windows follow the user's locale; files keep '.'.
  const QString point = QLocale().decimalPoint();
  if (point.size() == 1 && point[0].unicode() < 128) {
    tarvex::ui::useDecimalSeparator(session, static_cast<char>(point[0].unicode()));
  }
  session.state().startDirectory = config.toStdString();

  tarvex::ui::Desktop desktop(session, host,
                              {startFolder, config + QStringLiteral("/windows.conf"), true});
  return QApplication::exec();
}
