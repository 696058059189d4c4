// Where the windows go: the first start's windows side by side on common screens, and windows
// opened later beside the one that opened them.
#include <QTest>

#include "ui/placement.h"

using tarvex::ui::FirstStart;
using tarvex::ui::Rect;
using tarvex::ui::WindowSize;

Q_DECLARE_METATYPE(Rect)

namespace {

// The windows as the program builds them with the usual fonts, frames included (a 28-pixel title
// bar, 4-pixel borders): the main and sample windows as wide as their menu bars and at least
// 200 pixels high inside, the Options window at the least its controls need.
const WindowSize kMain{800, 486, 58, 232};
const WindowSize kSample{611, 452, 58, 232};
const WindowSize kOptions{736, 493, 736, 493};
const WindowSize kExternCs{428, 328, 236, 328};
constexpr int kGap = 6;

QString show(const Rect& r) {
  return QStringLiteral("(%1,%2 %3x%4)").arg(r.x).arg(r.y).arg(r.w).arg(r.h);
}

}  // namespace

class PlacementTest : public QObject {
  Q_OBJECT

 private slots:
  void firstStartWindowsLeaveEachOtherRoom_data();
  void firstStartWindowsLeaveEachOtherRoom();
  void aScreenTooSmallKeepsTheMainWindowWhole();
  void laterWindowsOpenBesideTheirOpener_data();
  void laterWindowsOpenBesideTheirOpener();
};

void PlacementTest::firstStartWindowsLeaveEachOtherRoom_data() {
  QTest::addColumn<Rect>("screen");
  QTest::addColumn<bool>("designSizes");
  // Available areas: a whole screen, or one less a panel, or a second screen to the right.
  QTest::newRow("1366x768") << Rect{0, 0, 1366, 768} << false;
  QTest::newRow("1366x768 less a 32-pixel panel") << Rect{0, 32, 1366, 736} << false;
  QTest::newRow("1440x900") << Rect{0, 0, 1440, 900} << false;
  QTest::newRow("1600x900") << Rect{0, 0, 1600, 900} << false;
  QTest::newRow("1280x1024") << Rect{0, 0, 1280, 1024} << false;
  QTest::newRow("1920x1080") << Rect{0, 0, 1920, 1080} << true;
  QTest::newRow("1920x1080 right of another") << Rect{1920, 0, 1920, 1040} << true;
  QTest::newRow("2560x1440") << Rect{0, 0, 2560, 1440} << true;
}

void PlacementTest::firstStartWindowsLeaveEachOtherRoom() {
  QFETCH(Rect, screen);
  QFETCH(bool, designSizes);
  const FirstStart p =
      tarvex::ui::placeFirstStart(screen, kMain, kSample, kOptions, kExternCs, kGap);
  QVERIFY(p.sideBySide);
  const std::pair<const char*, Rect> windows[] = {
      {"main", p.main}, {"sample", p.sample}, {"options", p.options}, {"externCs", p.externCs}};
  const WindowSize* sizes[] = {&kMain, &kSample, &kOptions, &kExternCs};
  for (int i = 0; i < 4; ++i) {
    const auto& [name, r] = windows[i];
    QVERIFY2(tarvex::ui::contains(screen, r), qPrintable(name + (" " + show(r))));
    // No window shrinks below what it needs, and the windows of parameters never shrink.
    QVERIFY2(r.w >= sizes[i]->minW && r.h >= sizes[i]->minH, name);
    if (i >= 2 || designSizes) {
      QCOMPARE(r.w, sizes[i]->w);
      QCOMPARE(r.h, sizes[i]->h);
    }
    for (int j = i + 1; j < 4; ++j) {
      const auto& [other, o] = windows[j];
      QVERIFY2(!tarvex::ui::intersects(r, o),
               qPrintable(QString("%1 %2 meets %3 %4").arg(name, show(r), other, show(o))));
    }
  }
  // The main window at the top left, as wide as its menu bar asks.
  QCOMPARE(p.main.x, screen.x);
  QCOMPARE(p.main.y, screen.y);
  QCOMPARE(p.main.w, kMain.w);
}

void PlacementTest::aScreenTooSmallKeepsTheMainWindowWhole() {
  const Rect screen{0, 0, 1024, 600};
  const FirstStart p =
      tarvex::ui::placeFirstStart(screen, kMain, kSample, kOptions, kExternCs, kGap);
  QVERIFY(!p.sideBySide);
  QCOMPARE(p.main, (Rect{0, 0, kMain.w, kMain.h}));
  for (const Rect& r : {p.sample, p.options, p.externCs})
    QVERIFY2(tarvex::ui::contains(screen, r), qPrintable(show(r)));
}

void PlacementTest::laterWindowsOpenBesideTheirOpener_data() {
  QTest::addColumn<Rect>("screen");
  QTest::addColumn<Rect>("opener");
  QTest::addColumn<Rect>("expected");
  const Rect hd{0, 0, 1920, 1080};
  const Rect small{0, 0, 1366, 768};
  // The fit window (940 x 600 and a frame) from the main window.
  QTest::newRow("right of the opener") << hd << Rect{0, 0, 800, 486} << Rect{806, 0, 948, 632};
  QTest::newRow("left when the right has no room")
      << hd << Rect{1000, 100, 800, 486} << Rect{46, 100, 948, 632};
  QTest::newRow("below a wide opener")
      << Rect{0, 0, 1366, 1400} << Rect{0, 0, 1300, 486} << Rect{0, 492, 948, 632};
  // Below the main window of the first start on a small screen, as high as the room there.
  QTest::newRow("below, less high") << small << Rect{0, 0, 826, 268} << Rect{0, 274, 948, 494};
  // No side has room on a small screen: it covers as little of the opener as it can.
  QTest::newRow("small screen") << small << Rect{0, 0, 800, 486} << Rect{766, 0, 600, 632};
}

void PlacementTest::laterWindowsOpenBesideTheirOpener() {
  QFETCH(Rect, screen);
  QFETCH(Rect, opener);
  QFETCH(Rect, expected);
  const WindowSize fit{948, 632, 600, 400};
  const Rect r = tarvex::ui::placeBeside(screen, opener, fit, {opener}, kGap);
  QVERIFY2(r == expected, qPrintable(show(r)));
  QVERIFY(tarvex::ui::contains(screen, r));
}

QTEST_APPLESS_MAIN(PlacementTest)
#include "placement_test.moc"
