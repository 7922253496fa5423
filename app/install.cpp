// "安装": the click handler and the installation worker.
#include <atomic>
#include <string>
#include <variant>

#include "app/globals.h"
#include "app/handlers.h"
#include "app/install_names.h"
#include "app/page.h"
#include "payload/payload.h"
#include "runtime/services.h"
#include "runtime/window.h"
#include "ui/setup_window.h"

namespace vorlune {

namespace {

constexpr char kTemporaryCopyName[] = "\\ifisfisjfisfjisajhduosajfiasj.tmp";
constexpr char kFinishCaption[] = "完成";
constexpr char kCancelCaption[] = "取消";

// One run at a time: a second click, key or Enter while a worker runs starts nothing.
std::atomic<bool> runUnderWay{false};

void SetProgress(std::int32_t position) {
  SetControlProperty(SetupWindow, 进度条1, kPropertyProgressPosition, kWholeProperty, position);
}

Text ReadInstallDirectory() {
  PropertyValue value =
      GetControlProperty(SetupWindow, 编辑框1, kPropertyEditContent, kWholeProperty);
  Text* content = std::get_if<Text>(&value);
  if (content == nullptr || content->IsEmpty()) return {};
  // A relative box content would give the shortcut and the launcher a relative path.
  return AbsolutePath(*content);
}

std::string Reason() { return LastFailureReason(); }

// Shows why the run failed and gives the location page back, so another place can be chosen.
void AbandonRun(const std::string& message) {
  ShowErrorMessage(Text::Owned(message));
  SetProgress(0);
  SetControlProperty(SetupWindow, 选择夹1, kPropertyCurrentPage, kWholeProperty,
                     kInstallLocationPage);
  SetControlProperty(SetupWindow, 按钮2, kPropertyButtonCaption, kWholeProperty,
                     Text::Stored(kCancelCaption));
  SetControlProperty(SetupWindow, 按钮2, kPropertyDisabled, kWholeProperty, 0);
}

// Nothing is written unless the archive is whole and both volumes have room for what goes there.
bool CheckBeforeWriting(const ByteSet& archive, const Text& target, const Text& temporaryCopy) {
  std::uint64_t unpacked = 0;
  if (!VerifyArchive(archive.Bytes(), unpacked)) {
    AbandonRun("安装程序已损坏，请重新下载。\n\n" + Reason());
    return false;
  }
  struct Need {
    const Text& path;
    std::uint64_t bytes;
    const char* what;
  };
  for (const Need& need : {Need{target, unpacked, "安装位置"},
                           Need{temporaryCopy, archive.Bytes().size(), "临时文件夹"}}) {
    std::uint64_t available = 0;
    if (FreeBytesOnVolume(need.path, available) && available < need.bytes) {
      AbandonRun("磁盘空间不足：" + std::string(need.what) + "“" + std::string(need.path.View()) +
                 "”需要 " + SizeText(need.bytes, Rounding::kUp) + "，只有 " +
                 SizeText(available, Rounding::kDown) + " 可用。");
      return false;
    }
  }
  return true;
}

// The shortcut and the launcher; a failure is collected and reported, the installed files stay.
std::string MakeDesktopEntries(const Text& directory) {
  std::string failures;
  const std::string_view names = DirectoryForNames(directory.View());

  Text desktop = SpecialFolderPath(kDesktopDirectoryFolder);
  Text linkPath = JoinTexts({desktop, "VorluneV", versionText, ".lnk"});
  Text target = JoinTexts({names, "\\Vorlune", versionText, ".exe"});
  Text description = JoinTexts({"Vorlune", versionText});
  // The program starts in its own folder, where its companion files lie.
  if (!MakeShellLink(linkPath, target, description, Text::Stored(""), directory)) {
    failures += "无法在桌面上创建快捷方式。\n" + Reason() + "\n";
  }
  ReleaseText(linkPath);
  ReleaseText(description);

  Text launcherPath = JoinTexts({desktop, "VorluneV", versionText, ".bat"});
  ReleaseText(desktop);
  Text line = Text::Owned(LauncherLine(target.View()));
  ReleaseText(target);
  ByteSet encoded = EncodeText(line);
  ReleaseText(line);
  if (!SaveBytesToFile(launcherPath, encoded)) {
    failures += "无法在桌面上创建启动文件。\n" + Reason() + "\n";
  }
  return failures;
}

void InstallWorker() {
  SetControlProperty(SetupWindow, 按钮2, kPropertyDisabled, kWholeProperty, 1);
  SetProgress(20);

  const ByteSet archive = PayloadArchive();
  Text target = ReadInstallDirectory();
  if (target.IsEmpty()) {
    AbandonRun("请先选择安装位置。");
    return;
  }
  Text temporaryFolder = SpecialFolderPath(kTemporaryFolder);
  Text temporaryCopy = JoinTexts({temporaryFolder, kTemporaryCopyName});
  ReleaseText(temporaryFolder);
  if (!CheckBeforeWriting(archive, target, temporaryCopy)) return;

  if (!SaveBytesToFile(temporaryCopy, archive)) {
    AbandonRun("无法写入临时文件。\n\n" + Reason());
    return;
  }
  SetProgress(40);

  if (ExtractArchive(temporaryCopy, target) != 1) {
    AbandonRun("无法将文件安装到“" + std::string(target.View()) + "”。\n\n" + Reason() +
               "\n\n请选择其他位置后重试。");
    return;
  }
  ReleaseText(temporaryCopy);
  SetProgress(70);

  const std::string failures = MakeDesktopEntries(target);
  if (!failures.empty()) {
    ShowErrorMessage(
        Text::Owned("程序文件已安装到“" + std::string(target.View()) + "”，但是：\n\n" + failures));
  }

  SetControlProperty(SetupWindow, 按钮2, kPropertyDisabled, kWholeProperty, 0);
  SetControlProperty(SetupWindow, 按钮2, kPropertyButtonCaption, kWholeProperty,
                     Text::Stored(kFinishCaption));
  SetProgress(100);
  AdvancePage();
}

void RunInstallWorker() {
  InstallWorker();
  SetCloseBlocked(false);
  runUnderWay = false;
}

}  // namespace

void On按钮3Clicked() {
  if (runUnderWay.exchange(true)) return;
  AdvancePage();
  // The window stays open while the worker runs, so the worker never meets a window that is gone.
  SetCloseBlocked(true);
  if (!RunInThread(&RunInstallWorker)) {
    SetCloseBlocked(false);
    runUnderWay = false;
    AbandonRun("无法启动安装。");
  }
}

}  // namespace vorlune
