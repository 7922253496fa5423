// "下一步" and "...": the choice of the install directory.
#include <variant>

#include "app/globals.h"
#include "app/handlers.h"
#include "app/page.h"
#include "runtime/services.h"
#include "runtime/window.h"
#include "ui/setup_window.h"

namespace vorlune {

namespace {

constexpr char kVersion[] = "1.5";

Text ReadText(std::uint32_t control, int property) {
  PropertyValue value = GetControlProperty(SetupWindow, control, property, kWholeProperty);
  if (Text* text = std::get_if<Text>(&value)) return std::move(*text);
  return {};
}

}  // namespace

void On按钮1Clicked() {
  AdvancePage();

  ReleaseText(versionText);
  versionText = Text::Stored(kVersion);

  Text folder = SpecialFolderPath(kApplicationDataFolder);
  Text joined = JoinTexts({folder, "Vorlune", versionText});
  ReleaseText(folder);

  ReleaseText(installDir);
  installDir = std::move(joined);
  MakeDirectory(installDir);
  SetControlProperty(SetupWindow, 编辑框1, kPropertyEditContent, kWholeProperty, installDir);
}

void On按钮4Clicked() {
  Text proposed = JoinTexts({"Vorlune", versionText});
  SetControlProperty(SetupWindow, 通用对话框1, kPropertyDialogFileName, kWholeProperty, proposed);
  ReleaseText(proposed);

  // A cancelled dialog keeps what the box holds and creates nothing: the proposed name alone is
  // a relative path that would land beside the setup program.
  if (!ShowFileDialog(SetupWindow, 通用对话框1)) return;

  Text chosen = ReadText(通用对话框1, kPropertyDialogFileName);
  MakeDirectory(chosen);
  ReleaseText(chosen);

  Text shown = ReadText(通用对话框1, kPropertyDialogFileName);
  SetControlProperty(SetupWindow, 编辑框1, kPropertyEditContent, kWholeProperty, shown);
  ReleaseText(shown);
}

}  // namespace vorlune
