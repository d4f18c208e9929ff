#pragma once
// Pictures of windows for the documents: how many colours one holds (an empty picture holds
// few), and keeping it as NAME.png in JIG_SCREENSHOT_DIR when that is set.
#include <gtest/gtest.h>

#include <QImage>
#include <QString>
#include <cstddef>
#include <set>

namespace jig::test {

inline std::size_t ColoursIn(const QImage& picture) {
  std::set<QRgb> colours;
  for (int y = 0; y < picture.height(); y += 3)
    for (int x = 0; x < picture.width(); x += 3) colours.insert(picture.pixel(x, y));
  return colours.size();
}

inline void KeepPicture(const QImage& picture, const QString& name) {
  if (const QString dir = qEnvironmentVariable("JIG_SCREENSHOT_DIR"); !dir.isEmpty()) {
    EXPECT_TRUE(picture.save(dir + "/" + name + ".png")) << name.toStdString();
  }
}

}  // namespace jig::test
