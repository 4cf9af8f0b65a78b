// The tinted reticle at the centre of the canvas, and its texture.
#include "vshudelement_element.h"

#include <GL/gl.h>
#include <QtGui/QImage>
#include <QtOpenGL/QGLWidget>

#include "draw_range.h"

void VTHUDElement::createReticleTexture() {
  glPushAttrib(GL_ENABLE_BIT | GL_TEXTURE_BIT);
  GLuint lTexture = 0;
  glGenTextures(1, &lTexture);
  mReticleTexture = lTexture;
  glEnable(GL_TEXTURE_2D);
  QImage lImage(":resources/reticle-15-circle.png");
  // A missing image leaves the texture without an image; the reticle then draws nothing useful.
  if (!lImage.isNull()) {
    QImage lGLImage = QGLWidget::convertToGLFormat(lImage);
    glBindTexture(GL_TEXTURE_2D, mReticleTexture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, lGLImage.width(), lGLImage.height(), 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 lGLImage.bits());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  }
  glPopAttrib();
}

void VTHUDElement::deleteReticleTexture() {
  // Without a current context there is nothing to delete it from; the host
  // destroys the context's objects with the context.
  if (mReticleTexture && glGetString(GL_VERSION)) {
    GLuint lTexture = mReticleTexture;
    glDeleteTextures(1, &lTexture);
  }
  mReticleTexture = 0;
}

void VTHUDElement::RenderReticle(int pWidth, int pHeight) {
  if (!ShowReticle) return;

  // A switch of the viewed camera (its crosshair by default) can hide the reticle.
  FBCamera* lCamera = mFrame.camera;  // the viewed camera, as DrawHUD read it
  if (lCamera) {
    FBProperty* lGate = lCamera->PropertyList.Find(ReticleBoundProperty.GetPropertyValue(), true);
    if (!lGate) lGate = lCamera->PropertyList.Find("ShowOpticalCenter", true);
    if (lGate && lGate->GetPropertyType() == kFBPT_bool) {
      bool lShown = true;
      lGate->GetData(&lShown, sizeof lShown);
      if (!lShown) return;
    }
  }

  const int lSize = vthud::DrawCoord(static_cast<long long>(ReticleSize));
  const int lX0 = static_cast<int>(pWidth * 0.5 - lSize * 0.5);
  const int lY0 = static_cast<int>(pHeight * 0.5 - lSize * 0.5);
  const int lX1 = lX0 + lSize;
  const int lY1 = lY0 + lSize;
  const FBColorAndAlpha lColor = ReticleColor;

  glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT | GL_TEXTURE_BIT);
  glColor4f(static_cast<float>(lColor[0]), static_cast<float>(lColor[1]), static_cast<float>(lColor[2]),
            static_cast<float>(lColor[3]));
  glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, mReticleTexture);
  glBegin(GL_QUADS);
  glTexCoord2i(0, 0);
  glVertex2i(lX0, lY1);
  glTexCoord2i(0, 1);
  glVertex2i(lX0, lY0);
  glTexCoord2i(1, 1);
  glVertex2i(lX1, lY0);
  glTexCoord2i(1, 0);
  glVertex2i(lX1, lY1);
  glEnd();
  glPopAttrib();
}
