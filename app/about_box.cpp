#include "app/about_box.hpp"

#include <QCoreApplication>
#include <QFileInfo>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QSvgRenderer>

#include "app/version_info.hpp"

#ifdef Q_OS_WIN
#include <windows.h>

#include <vector>
#endif

namespace app {

namespace {

const QString kStringEntries = QStringLiteral("\\StringFileInfo\\040C04E4\\");

#ifndef Q_OS_WIN
VersionBlock compiledBlock() {
  VersionBlock b;
  b.fileVersionMS = uint32_t(version::kMajor) << 16 | version::kMinor;
  b.fileVersionLS = uint32_t(version::kRelease) << 16 | version::kBuild;
  b.preRelease = version::kPreRelease;
  const QString prefix =
      QStringLiteral("\\StringFileInfo\\") + QString::fromLatin1(version::kTranslation) + u'\\';
  const std::pair<const char*, const char*> entries[] = {
      {"CompanyName", version::kCompanyName},           {"FileDescription", version::kFileDescription},
      {"FileVersion", version::kFileVersion},           {"InternalName", version::kInternalName},
      {"LegalCopyright", version::kLegalCopyright},     {"LegalTrademarks", version::kLegalTrademarks},
      {"OriginalFilename", version::kOriginalFilename}, {"ProductName", version::kProductName},
      {"ProductVersion", version::kProductVersion},
  };
  for (const auto& [name, value] : entries)
    b.strings.insert(prefix + QString::fromLatin1(name), QString::fromUtf8(value));
  return b;
}
#endif

// The largest pixel size whose line height stays within `cellHeight`.
QFont fontWithCellHeight(QFont font, int cellHeight) {
  for (int px = cellHeight; px > 1; --px) {
    font.setPixelSize(px);
    if (QFontMetrics(font).height() <= cellHeight) break;
  }
  return font;
}

QPixmap logoPicture() {
  QImage image(279, 279, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QSvgRenderer svg(QStringLiteral(":/images/logo.svg"));
  QPainter painter(&image);
  svg.render(&painter);
  return QPixmap::fromImage(image);
}

}  // namespace

std::optional<VersionBlock> ReadVersionBlock(const QString& filePath) {
#ifdef Q_OS_WIN
  const std::wstring path = QFileInfo(filePath).absoluteFilePath().replace(u'/', u'\\').toStdWString();
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  if (size == 0) return std::nullopt;
  std::vector<char> data(size);
  if (!GetFileVersionInfoW(path.c_str(), 0, size, data.data())) return std::nullopt;
  VersionBlock b;
  void* value = nullptr;
  UINT length = 0;
  if (VerQueryValueW(data.data(), L"\\", &value, &length) && length >= sizeof(VS_FIXEDFILEINFO)) {
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    b.fileVersionMS = fixed->dwFileVersionMS;
    b.fileVersionLS = fixed->dwFileVersionLS;
    b.preRelease = (fixed->dwFileFlags & fixed->dwFileFlagsMask & VS_FF_PRERELEASE) != 0;
  }
  for (const char* name : {"ProductName", "CompanyName", "FileDescription", "LegalCopyright", "Comments",
                           "FileVersion", "ProductVersion", "InternalName", "OriginalFilename"}) {
    const QString key = kStringEntries + QString::fromLatin1(name);
    const std::wstring query = key.toStdWString();
    if (VerQueryValueW(data.data(), query.c_str(), &value, &length) && length > 0)
      b.strings.insert(key, QString::fromWCharArray(static_cast<const wchar_t*>(value)));
  }
  return b;
#else
  const QString self = QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath();
  if (self.isEmpty() || QFileInfo(filePath).canonicalFilePath() != self) return std::nullopt;
  return compiledBlock();
#endif
}

VersionStrings GetVersionStrings(const QString& filePath) {
  const VersionBlock block = ReadVersionBlock(filePath).value_or(VersionBlock{});
  VersionStrings v;
  const uint32_t ms = block.fileVersionMS, ls = block.fileVersionLS;
  v.version = QStringLiteral("%1.%2.%3").arg(ms >> 16).arg(ms & 0xFFFF).arg(ls >> 16);
  v.build = QString::number(ls & 0xFFFF);
  auto entry = [&](const char* name) {
    return block.strings.value(kStringEntries + QString::fromLatin1(name));
  };
  v.productName = entry("ProductName");
  v.companyName = entry("CompanyName");
  v.description = entry("FileDescription");
  v.copyright = entry("LegalCopyright");
  v.comment = entry("Comments");
  return v;
}

TfAPropos::TfAPropos(QWidget* parent, const QString& programPath) : QDialog(parent) {
  setObjectName(QStringLiteral("fAPropos"));
  setWindowTitle(QStringLiteral("A propos..."));
  setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
  setFixedSize(616, 368);
  move(424, 255);

  QFont heavy(QStringLiteral("Arial Black"), 10);
  heavy.setWeight(QFont::Black);
  auto label = [this](const char* name, int x, int y, const QFont& font) {
    auto* l = new QLabel(this);
    l->setObjectName(QString::fromLatin1(name));
    l->move(x, y);
    l->setFont(font);
    return l;
  };
  imgLogo = label("imgLogo", 16, 16, font());
  imgLogo->resize(280, 280);
  imgLogo->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  imgLogo->setPixmap(logoPicture());
  lblNomProgramme = label("lblNomProgramme", 304, 24, fontWithCellHeight(heavy, 32));
  lblVersion = label("lblVersion", 312, 64, heavy);
  lblDescription = label("lblDescription", 312, 104, font());
  lblCopyright = label("lblCopyright", 304, 184, heavy);
  lblCommentaire = label("lblCommentaire", 312, 224, font());
  for (QLabel* fixed : {lblDescription, lblCommentaire}) {
    fixed->resize(281, 57);
    fixed->setWordWrap(true);
    fixed->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  }

  btnOk = new QPushButton(QStringLiteral("&Ok"), this);
  btnOk->setObjectName(QStringLiteral("btnOk"));
  btnOk->setGeometry(267, 312, 75, 25);
  btnOk->setDefault(true);
  connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);

  // The texts are set once; showing the box again shows the same ones.
  const VersionStrings v =
      GetVersionStrings(programPath.isEmpty() ? QCoreApplication::applicationFilePath() : programPath);
  lblNomProgramme->setText(v.productName);
  lblVersion->setText(QStringLiteral("Version ") + v.version + u'-' + v.build);
  lblDescription->setText(v.description);
  lblCopyright->setText(v.copyright);
  lblCommentaire->setText(v.comment);
  for (QLabel* sized : {lblNomProgramme, lblVersion, lblCopyright}) sized->adjustSize();
}

}  // namespace app
