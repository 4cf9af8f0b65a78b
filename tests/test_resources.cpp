#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// Defined by the rcc-generated qrc_vshudelement.cpp.
int qInitResources_vshudelement();
int qCleanupResources_vshudelement();

namespace {

const QString kSourceDir = QStringLiteral(VSHUD_RESOURCE_SOURCE_DIR);

QByteArray readAll(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return f.readAll();
}

QImage loadArgb(const QString& path) {
  // Non-premultiplied, so alpha and colour read back exactly as stored.
  return QImage(path).convertToFormat(QImage::Format_ARGB32);
}

int alphaAt(const QImage& img, int x, int y) { return qAlpha(img.pixel(x, y)); }

// Squared distance of the pixel centre from the canvas centre (256, 256).
double dist2(int x, int y) {
  const double dx = x + 0.5 - 256, dy = y + 0.5 - 256;
  return dx * dx + dy * dy;
}

}  // namespace

TEST(ResourceBundle, ContainsExactlyTheFiveFiles) {
  QStringList names = QDir(QStringLiteral(":resources")).entryList(QDir::Files);
  names.sort();
  EXPECT_EQ(names, (QStringList{"Arial.ttf", "OratorStd.otf", "quill-hd.png", "reticle-15-circle.png",
                                "reticle-15.png"}));
}

TEST(ResourceBundle, FontsAreEmbeddedWhole) {
  // rcc ran with -no-compress; the fonts must come back byte-identical.
  for (const char* name : {"Arial.ttf", "OratorStd.otf"}) {
    SCOPED_TRACE(name);
    QFile f(QStringLiteral(":resources/") + name);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray embedded = f.readAll();
    const QByteArray source = readAll(kSourceDir + "/" + name);
    ASSERT_FALSE(source.isEmpty());
    EXPECT_EQ(f.size(), source.size());
    EXPECT_TRUE(embedded == source);
  }
  // Outline flavour: the HUD face is CFF-based OpenType, the label face TrueType.
  EXPECT_TRUE(readAll(":resources/OratorStd.otf").startsWith("OTTO"));
  EXPECT_TRUE(readAll(":resources/Arial.ttf").startsWith(QByteArray("\0\1\0\0", 4)));
}

TEST(ResourceBundle, CleanupAndInitToggleRegistration) {
  // The file-scope initializer registered the bundle before main().
  ASSERT_TRUE(QFile::exists(":resources/Arial.ttf"));
  qCleanupResources_vshudelement();
  EXPECT_FALSE(QFile::exists(":resources/Arial.ttf"));
  qInitResources_vshudelement();
  EXPECT_TRUE(QFile::exists(":resources/Arial.ttf"));
}

TEST(Reticle, CircleVariantLayout) {
  const QImage img = loadArgb(":resources/reticle-15-circle.png");
  ASSERT_EQ(img.size(), QSize(512, 512));
  EXPECT_TRUE(QImage(":resources/reticle-15-circle.png").hasAlphaChannel());

  // White everywhere, and only the three alpha levels the overlay expects.
  for (int y = 0; y < 512; ++y) {
    for (int x = 0; x < 512; ++x) {
      const QRgb p = img.pixel(x, y);
      ASSERT_EQ(p & 0xffffffu, 0xffffffu) << x << "," << y;
      ASSERT_TRUE(qAlpha(p) == 0 || qAlpha(p) == 38 || qAlpha(p) == 255) << x << "," << y;
    }
  }

  // Mirror-symmetric about both centre lines, i.e. centred at (256, 256).
  EXPECT_TRUE(img == img.mirrored(true, false));
  EXPECT_TRUE(img == img.mirrored(false, true));

  EXPECT_EQ(alphaAt(img, 0, 0), 0);
  EXPECT_EQ(alphaAt(img, 511, 511), 0);
  EXPECT_EQ(alphaAt(img, 256, 256), 0);          // hole of the centre ring
  EXPECT_EQ(alphaAt(img, 256, 256 - 24), 255);   // centre ring stroke
  EXPECT_EQ(alphaAt(img, 256, 256 - 28), 38);    // faint fill outside it
  EXPECT_EQ(alphaAt(img, 256, 256 - 180), 38);   // fill just inside the ring
  EXPECT_EQ(alphaAt(img, 256, 256 - 197), 255);  // ring
  EXPECT_EQ(alphaAt(img, 256 - 197, 256), 255);
  EXPECT_EQ(alphaAt(img, 256, 20), 255);             // top tick
  EXPECT_EQ(alphaAt(img, 20, 256), 255);             // left tick
  EXPECT_EQ(alphaAt(img, 256, 2), 0);                // ticks stop short of the edge
  EXPECT_EQ(alphaAt(img, 256 + 160, 256 - 160), 0);  // between ticks, outside ring
}

TEST(Reticle, DotVariantDiffersOnlyInTheCentre) {
  const QImage dot = loadArgb(":resources/reticle-15.png");
  const QImage circle = loadArgb(":resources/reticle-15-circle.png");
  ASSERT_EQ(dot.size(), QSize(512, 512));
  EXPECT_EQ(alphaAt(dot, 256, 256), 255);
  EXPECT_EQ(alphaAt(dot, 255, 255), 255);
  for (int y = 0; y < 512; ++y) {
    for (int x = 0; x < 512; ++x) {
      if (dist2(x, y) >= 26.0 * 26.0) {
        ASSERT_EQ(dot.pixel(x, y), circle.pixel(x, y)) << x << "," << y;
      }
    }
  }
}

TEST(TestPicture, IsFullHdWithoutAlpha) {
  const QImage img(":resources/quill-hd.png");
  EXPECT_EQ(img.size(), QSize(1920, 1080));
  EXPECT_FALSE(img.hasAlphaChannel());
}

TEST(Generator, ReproducesCommittedImages) {
  QTemporaryDir out;
  ASSERT_TRUE(out.isValid());
  ASSERT_EQ(QProcess::execute(QStringLiteral(VSHUD_IMAGE_GENERATOR), {out.path()}), 0);
  for (const char* name : {"reticle-15.png", "reticle-15-circle.png", "quill-hd.png"}) {
    SCOPED_TRACE(name);
    const QByteArray fresh = readAll(out.path() + "/" + name);
    ASSERT_FALSE(fresh.isEmpty());
    EXPECT_TRUE(fresh == readAll(kSourceDir + "/" + name))
        << "committed image is stale; run the regenerate-resource-images target";
  }
}
