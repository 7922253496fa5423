#pragma once

namespace vorlune {

// Event handlers bound in the window description; all run on the UI thread.
void OnSetupWindowCreated();
void On按钮1Clicked();  // "下一步"
void On按钮2Clicked();  // "取消" / "完成"
void On按钮3Clicked();  // "安装"
void On按钮4Clicked();  // "..."

}  // namespace vorlune
