#include "font_resource.h"

#include <QtCore/QByteArray>
#include <QtCore/QDebug>
#include <QtCore/QFile>

#include <cstring>

namespace vthud {

unsigned char* ReadResource(const char* pPath, size_t& pSize, const char* pMessage) {
  QFile lFile(pPath);
  if (!lFile.open(QIODevice::ReadOnly)) {
    qDebug() << pMessage << static_cast<int>(lFile.error());
    return nullptr;
  }
  const QByteArray lBytes = lFile.readAll();
  pSize = static_cast<size_t>(lBytes.size());
  unsigned char* lData = new unsigned char[pSize];
  memcpy(lData, lBytes.constData(), pSize);
  lFile.close();
  return lData;
}

}  // namespace vthud
