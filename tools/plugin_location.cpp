#include "plugin_location.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QString>
#include <QStringList>

namespace vthud_tool {

std::string PluginPath(const std::string& pFileName) {
  const QString lName = QString::fromStdString(pFileName);
  // The running executable's folder, links resolved (from /proc/self/exe).
  const QString lToolDir = QCoreApplication::applicationDirPath();
  // The build folder is recognised by its path, not by what lies near the
  // tool, so a copy or an install never reaches back into a build.
  if (!lToolDir.isEmpty() && lToolDir == QFileInfo(QStringLiteral(VTHUD_BUILD_TOOL_DIR)).canonicalFilePath()) {
    const QStringList lBuilt = QStringLiteral(VTHUD_BUILD_PLUGIN_DIRS).split(QLatin1Char(':'));
    for (const QString& lDir : lBuilt)
      if (QFileInfo::exists(lDir + QLatin1Char('/') + lName))
        return (lDir + QLatin1Char('/') + lName).toStdString();
    return (lBuilt.first() + QLatin1Char('/') + lName).toStdString();
  }
  return QDir::cleanPath(lToolDir + QStringLiteral("/" VTHUD_PLUGIN_DIR_FROM_TOOL "/") + lName).toStdString();
}

}  // namespace vthud_tool
