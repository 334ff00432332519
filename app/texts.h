// Every text the installer shows: captions, messages and page texts. They are the installer's
// own words and must stay exactly as they are (packages and users rely on them).
#pragma once

#include "generated/version.h"

namespace zv::text {

inline constexpr wchar_t kAppTitle[] = L"Zelv软件安装";
inline constexpr wchar_t kFormName[] = L"Form1";
inline constexpr wchar_t kSoftwareCaption[] = L"软件安装";

// Window title: "安装Zelv软件 V" + major.minor.revision + " _ 纯绿色，安装只是解压", made when
// the installer is built.
inline constexpr wchar_t kWindowTitle[] = L"安装Zelv软件 V" ZV_VERSION_TITLE_TEXT L" _ 纯绿色，安装只是解压";

// Default parent folders.
inline constexpr wchar_t kFolderChinese[] = L"Zelv软件";
inline constexpr wchar_t kFolderOther[] = L"Zelv";
inline constexpr wchar_t kDriveD[] = L"D:";

// Controls.
inline constexpr wchar_t kLabel1[] = L"进度条提示";
inline constexpr wchar_t kCheck2[] = L"在桌面添加快捷方式";
inline constexpr wchar_t kCheck1[] = L"完成后立即启动软件";
inline constexpr wchar_t kBrowse[] = L"浏览(&B).....";
inline constexpr wchar_t kFrame1[] = L"选择目标文件夹";
inline constexpr wchar_t kBack[] = L"上一步(&F)";
inline constexpr wchar_t kCancel[] = L"取消(&C)";
inline constexpr wchar_t kNext[] = L"下一步(&H)";
inline constexpr wchar_t kFinish[] = L"完成";
inline constexpr wchar_t kControlFont[] = L"Microsoft YaHei,9,0";

// Package information.
inline constexpr wchar_t kMissingPackageTail[] =
    L"\r\n\r\n文件没有带安装数据！！！ \r\n\r\n请到Zelv网站重新下载试试\r\n\r\n   　－－－－感谢你使用【Zelv软件】";
inline constexpr wchar_t kNotOurPackage[] = L"不是Zelv压缩文件";

// Header texts.
inline constexpr wchar_t kTitleFolder[] = L"选择安装位置";
inline constexpr wchar_t kSubtitleFolderHead[] = L"选择“";
inline constexpr wchar_t kSubtitleFolderTail[] = L"”的安装文件夹";
inline constexpr wchar_t kTitleExtract[] = L"解压缩文件";
inline constexpr wchar_t kSubtitleExtractHead[] = L"解压“";
inline constexpr wchar_t kSubtitleExtractTail[] = L"”的安装包";
inline constexpr wchar_t kTitleFinish[] = L"安装选项";
inline constexpr wchar_t kSubtitleFinishHead[] = L"感谢你使用“";
inline constexpr wchar_t kSubtitleFinishTail[] = L"”";
inline constexpr wchar_t kBrowseTitleHead[] = L"选择安装【";
inline constexpr wchar_t kBrowseTitleTail[] = L"】目标文件夹";

// Install action.
inline constexpr wchar_t kBareDrive[] =
    L"必须安装在文件夹中！！！\r\n\r\n已经你增加了文件夹，请查看\r\n\r\n   　　－－－－感谢你使用【Zelv软件】";
inline constexpr wchar_t kBadPath[] =
    L"目标文件夹路径错误！！！\r\n\r\n请检查输入完整的目标文件夹\r\n\r\n　　　－－－－感谢你使用【Zelv软件】";
inline constexpr wchar_t kCannotCreate[] =
    L"创建文件夹时出错，无法创建文件夹\r\n\r\n可能是以下原因造成的：\r\n\r\n1.磁盘已满，请换个盘安装！\r\n"
    L"2.此盘是光驱，请换个盘安装！\r\n3.没有此盘，请换个盘安装！\r\n4.文件夹名称有非法字符，请更名！\r\n\r\n"
    L"        　　　－－－－请自己检查后更正。";
// The package's paths would not fit below the folder: Windows holds a whole path to 259 units.
inline constexpr wchar_t kPathTooLong[] =
    L"目标文件夹路径太长！！！\r\n\r\n软件中的文件路径较长，请选择较短的目标文件夹\r\n\r\n　　　－－－－感谢你使用【Zelv软件】";
inline constexpr wchar_t kStartExtracting[] = L"开始解压文件...........";
inline constexpr wchar_t kExtractDone[] = L"解压完成，请点“完成”";
inline constexpr wchar_t kThreadFailed[] = L"无法启动解压线程，请重试。";
inline constexpr wchar_t kConfirmCancel[] = L"正在解压文件，确定要取消安装吗？";

// Extraction worker.
inline constexpr wchar_t kDataError[] = L"安装文件数据错误";
inline constexpr wchar_t kNoFileList[] = L"无法获取文件列表";
inline constexpr wchar_t kOutOfMemory[] = L"内存不足，无法解压安装包。";
inline constexpr wchar_t kPackageDamaged[] = L"安装包数据已损坏，请重新下载安装包。";
inline constexpr wchar_t kOverwrite[] = L"安装的文件已经存在，是要覆盖安装吗？";
inline constexpr wchar_t kWriteFailedHead[] = L"写文件文件失败！\r\n";
inline constexpr wchar_t kWriteFailedTail[] = L"\r\n请检查软件是否已经关闭！";
inline constexpr wchar_t kCorruptHead[] = L"解压文件失败，安装包数据已损坏！\r\n";
inline constexpr wchar_t kCorruptTail[] = L"\r\n请重新下载安装包。";

// Special handling of package number 1.
inline constexpr wchar_t kRedirectProgram[] = L"QQGame.exe";
inline constexpr wchar_t kHallProgram[] = L"QQGameHall.exe";
inline constexpr wchar_t kHallFolder[] = L"Hall.57507\\";

// Page texts.
inline constexpr wchar_t kWelcome1[] = L"欢迎您使用Zelv软件，即将安装以下软件";
inline constexpr wchar_t kWelcome2[] = L"欢迎安装Zelv软件开发小组制作的软件";
inline constexpr wchar_t kBrand[] = L"Zelv软件";
inline constexpr wchar_t kSlogan[] = L"绝对保证无毒无害无污染";
inline constexpr wchar_t kWelcomeNext[] = L"单击 【下一步】 继续。";
inline constexpr wchar_t kWelcomeGuide[] = L"这个向导将指引你完成本软件的安装进程。";
inline constexpr wchar_t kStudio[] = L"Zelv软件开发小组";
inline constexpr wchar_t kMakerWeb[] = L"www.zelv.example";
inline constexpr wchar_t kMakerDomain[] = L"zelv.example";
inline constexpr wchar_t kFolderText1[] = L"安装向导将安装软件到下列文件夹中。要安装到不同的文件夹，单击【浏览】";
inline constexpr wchar_t kFolderText2[] = L"选择其它文件夹。单击【下一步】";
inline constexpr wchar_t kFolderText3[] = L"本软件为绿色无污染软件，安装只是复制文件到此文件夹中，并不会在其他任何地";
inline constexpr wchar_t kFolderText4[] = L"方残留东西，所以无卸载。不要时直接删除即可，重装系统后也可以直接使用。";
inline constexpr wchar_t kExtractText[] = L"正在解压缩文件到目标文件夹中...";
inline constexpr wchar_t kFinishText1[] = L"请选择你要执行的操作";
inline constexpr wchar_t kFinishText2[] = L"本软件无自动卸载程序，不需要时直接删除目标文件夹中所有文件即可。";
inline constexpr wchar_t kFinishText3[] = L"注意：如果杀毒软件提示或者拦截，请点允许通过才可以正常使用";

}  // namespace zv::text
