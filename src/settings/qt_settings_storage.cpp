#include "settings/qt_settings_storage.h"

#include "i18n/format_text.h"
#include "i18n/localized_text.h"
#include "platform/pellora_error.h"
#include "platform/qt_locale.h"
#include "settings/settings_file.h"

#include <QFile>

#include <memory>

namespace pellora {
namespace {

QString GroupPath(const std::string& key) {
  return QString::fromUtf8(key.data(), static_cast<qsizetype>(key.size())).replace('\\', '/');
}

QString ValuePath(const std::string& key, const std::string& name) {
  return GroupPath(key) + '/' + QString::fromStdString(name);
}

} // namespace

TQtSettingsStorage::TQtSettingsStorage(const QString& fileName)
    : FFileName(fileName), FSettings(fileName, QSettings::IniFormat) {}

std::optional<std::string> TQtSettingsStorage::ReadValue(const std::string& key,
                                                         const std::string& name) const {
  const QString path = ValuePath(key, name);
  if (!FSettings.contains(path)) return std::nullopt;
  QVariant value = FSettings.value(path);
  // An unquoted text with commas, written by hand, reads back as a list.
  if (value.typeId() == QMetaType::QStringList) return value.toStringList().join(',').toStdString();
  return value.toString().toStdString();
}

void TQtSettingsStorage::WriteValue(const std::string& key, const std::string& name,
                                    TSettingType type, const std::string& data) {
  if (type == TSettingType::Integer)
    FSettings.setValue(ValuePath(key, name), QString::fromStdString(data).toLongLong());
  else
    FSettings.setValue(ValuePath(key, name), QString::fromStdString(data));
}

void TQtSettingsStorage::DeleteValue(const std::string& key, const std::string& name) {
  FSettings.remove(ValuePath(key, name));
}

std::vector<std::string> TQtSettingsStorage::ValueNames(const std::string& key) const {
  FSettings.beginGroup(GroupPath(key));
  const QStringList keys = FSettings.childKeys();
  FSettings.endGroup();
  std::vector<std::string> names;
  for (const QString& name : keys)
    names.push_back(name.toStdString());
  return names;
}

void TQtSettingsStorage::Flush() {
  // A QSettings keeps the first error it met for good; a fresh one on the same file writes the
  // changes pending for it and tells how this attempt went.
  QSettings probe(FFileName, QSettings::IniFormat);
  probe.sync();
  if (probe.status() != QSettings::NoError)
    throw EPelloraError(FormatText(GetLocalizedText("lc_SettingsNotSaved"),
                                   {QStringToAnsi(FFileName)}));
}

TAppRegistryStorage& AppRegistryStorage() {
  static TQtSettingsStorage storage(QFile::decodeName(QByteArray::fromStdString(SettingsFilePath())));
  static TAppRegistryStorage registry(storage);
  return registry;
}

} // namespace pellora
