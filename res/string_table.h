#pragma once
// The desktop program's texts: titles, prompts, menus, the about box and messages.
// Prompts are "status-bar text\ntooltip".

namespace strings {

inline constexpr char appTitle[] = "车牌识别演示程序"; // message boxes carry it
inline constexpr char frameTitle[] = "Kavro";
inline constexpr char version[] = "1.0.0.1";
inline constexpr char documentTitle[] = "车牌识别DEMO V1.0";
inline constexpr char idle[] = "就绪";
inline constexpr char settingsOrganisation[] = "应用程序向导生成的本地应用程序";
inline constexpr char recentFileGroup[] = "Recent File List";
inline constexpr char settingsGroup[] = "Settings";
inline constexpr char plateOverlaysKey[] = "PlateOverlays";

// The view
inline constexpr char instruction[] = "点击工具栏的\"车\"按钮载入图像，\n"
                                      "或直接将图像文件拖进本窗口，\n"
                                      "程序会自动识别车型与车牌号！";
inline constexpr char noPlate[] = "无法识别车牌！";
inline constexpr char pictureFilter[] = "Windows bitmap file(*.bmp);;JPEG file(*.jpg)";
inline constexpr char outOfMemory[] = "内存不足。";
inline constexpr char saveDocumentFailed[] = "保存文档失败。";
inline constexpr char unsupportedPicture[] =
    "无法打开此文件：只能读取扩展名为 bmp 或 jpg 的图像文件。";
inline constexpr char sourcePictureProtected[] = "不能覆盖正在识别的图像文件，请另选文件名。";

// What can be saved: the file-type entries of the save dialogs
inline constexpr char annotatedPngFilter[] = "标注图像 PNG (*.png)";
inline constexpr char jsonLinesFilter[] = "识别结果 JSON Lines (*.jsonl)";
inline constexpr char csvFilter[] = "识别结果表格 CSV (*.csv)";

// Batch reading of a folder
inline constexpr char chooseBatchFolder[] = "选择要批量识别的文件夹";
inline constexpr char batchPanelTitle[] = "批量识别";
inline constexpr char batchCancel[] = "取消";
inline constexpr char batchExport[] = "导出(&E)...";
inline constexpr char batchProgress[] = "%v / %m";
inline constexpr const char* batchColumns[] = {"文件", "车牌", "类型", "置信度", "用时 (ms)"};
inline constexpr char batchError[] = "错误：";
inline constexpr char folderUnreadable[] = "无法读取此文件夹。";
inline constexpr char folderHasNoPictures[] = "此文件夹中没有 BMP 或 JPEG 图像。";

// Fonts: the face asked for first, then faces with the same style that carry
// Chinese characters on machines without it.
inline constexpr const char* resultFontFamilies[] = {"黑体", "SimHei", "Noto Sans CJK SC",
                                                     "WenQuanYi Zen Hei"};
inline constexpr const char* instructionFontFamilies[] = {"宋体", "SimSun", "Noto Serif CJK SC",
                                                          "Noto Sans CJK SC", "WenQuanYi Zen Hei"};

// Toolbar
inline constexpr char singleTestPrompt[] = "单个测试\n单个测试";
inline constexpr char batchPrompt[] = "Batch\nBatch";
inline constexpr char toolBarTitle[] = "标准";

// Status-bar indicators
inline constexpr char capsIndicator[] = "CAP";
inline constexpr char numIndicator[] = "NUM";
inline constexpr char scrollIndicator[] = "SCRL";

// Menus
inline constexpr char fileMenu[] = "文件(&F)";
inline constexpr char fileNew[] = "新建(&N)";
inline constexpr char fileOpen[] = "打开(&O)...";
inline constexpr char fileSave[] = "保存(&S)";
inline constexpr char fileSaveAs[] = "另存为(&A)...";
inline constexpr char fileBatch[] = "批量识别(&B)...";
inline constexpr char filePrint[] = "打印(&P)...";
inline constexpr char filePrintPreview[] = "打印预览(&V)";
inline constexpr char filePrintSetup[] = "打印设置(&R)...";
inline constexpr char fileRecent[] = "最近的文件";
inline constexpr char fileExit[] = "退出(&X)";
inline constexpr char editMenu[] = "编辑(&E)";
inline constexpr char editUndo[] = "撤消(&U)";
inline constexpr char editCut[] = "剪切(&T)";
inline constexpr char editCopy[] = "复制(&C)";
inline constexpr char editPaste[] = "粘贴(&P)";
inline constexpr char viewMenu[] = "视图(&V)";
inline constexpr char viewToolBar[] = "工具栏(&T)";
inline constexpr char viewStatusBar[] = "状态栏(&S)";
inline constexpr char viewPlateOverlays[] = "车牌位置(&L)";
inline constexpr char helpMenu[] = "帮助(&H)";
inline constexpr char helpAbout[] = "关于 Kavro(&A)...";

// Standard prompts of the menu commands
inline constexpr char fileNewPrompt[] = "创建新文档\n新建";
inline constexpr char fileOpenPrompt[] = "打开现有文档\n打开";
inline constexpr char fileSavePrompt[] = "保存活动文档\n保存";
inline constexpr char fileSaveAsPrompt[] = "用新名称保存活动文档\n另存为";
inline constexpr char fileBatchPrompt[] = "识别一个文件夹中的所有图像\n批量识别";
inline constexpr char batchCancelPrompt[] = "停止批量识别\n取消";
inline constexpr char filePrintPrompt[] = "打印活动文档\n打印";
inline constexpr char filePrintPreviewPrompt[] = "显示整页\n打印预览";
inline constexpr char filePrintSetupPrompt[] = "更改打印机选项\n打印设置";
inline constexpr char fileRecentPrompt[] = "打开此文档";
inline constexpr char fileExitPrompt[] = "退出应用程序；提示保存文档\n退出";
inline constexpr char editUndoPrompt[] = "撤消上次操作\n撤消";
inline constexpr char editCutPrompt[] = "剪切所选内容，并将其放到剪贴板上\n剪切";
inline constexpr char editCopyPrompt[] = "复制所选内容，将其放入剪贴板\n复制";
inline constexpr char editPastePrompt[] = "插入剪贴板内容\n粘贴";
inline constexpr char viewToolBarPrompt[] = "显示或隐藏工具栏\n切换工具栏";
inline constexpr char viewStatusBarPrompt[] = "显示或隐藏状态栏\n切换状态栏";
inline constexpr char viewPlateOverlaysPrompt[] =
    "在图像上显示或隐藏每个车牌的轮廓与编号，并在车牌号旁显示校正后的车牌图像\n切换车牌位置";
inline constexpr char helpAboutPrompt[] = "显示程序信息、版本号和版权信息\n关于";

// About box
inline constexpr char aboutCaption[] = "关于 Kavro";
inline constexpr char aboutVersion[] = "车牌识别DEMO 1.0 版";
inline constexpr char aboutCopyright[] = "版权所有 (C) 2026 Kavro";
inline constexpr char aboutOk[] = "确定";
inline constexpr const char* aboutFontFamilies[] = {"宋体", "SimSun", "Noto Sans CJK SC"};

} // namespace strings
