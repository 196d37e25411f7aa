// Every text the program shows, as Shift-JIS bytes. Defined in texts_ja.cpp, which is the only
// translation unit compiled to code page 932.
#pragma once

namespace pallomar::text {

// Window and version.
extern const char kAppCaption[];        // "Pallomar Ver. 1.02"
extern const char kAppCaptionPrefix[];  // "Pallomar Ver. 1.02 - "
extern const char kAboutText[];         // caption, empty line, copyright line

// Entry list model.
extern const char kNotAnInteger[];      // "'%s' は整数ではありません"
extern const char kDetailsPath[];       // "実行するファイル : "
extern const char kDetailsParams[];     // "実行パラメータ : "
extern const char kDetailsFolder[];     // "作業フォルダ : "
extern const char kDetailsWindow[];     // "ウィンドウサイズ : "
extern const char kDetailsRunCheck[];   // "実行中チェック : "
extern const char kWindowNormal[];      // "通常"
extern const char kWindowMaximized[];   // "最大化"
extern const char kWindowMinimized[];   // "最小化"
extern const char kRunCheckOn[];        // "する"
extern const char kRunCheckOff[];       // "しない"
extern const char kListFileTooLarge[];  // a list file longer than memory can address
extern const char kListLineTooLong[];   // a line longer than an entry's text may be
extern const char kEntryTextTooLong[];  // an entry's text longer than a list can hold

// File errors by code.
extern const char kIoFileNotFound[];  // 2
extern const char kIoInvalidName[];   // 3
extern const char kIoTooManyOpen[];   // 4
extern const char kIoAccessDenied[];  // 5
extern const char kIoReadPastEnd[];   // 100
extern const char kIoDiskFull[];      // 101
extern const char kIoNotNumeric[];    // 106
extern const char kIoOtherFormat[];   // "I/O エラー (%d)"

// Message boxes.
extern const char kCaptionWarning[];
extern const char kCaptionError[];
extern const char kCaptionInformation[];
extern const char kCaptionConfirmation[];
extern const char kButtonYes[];
extern const char kButtonNo[];
extern const char kButtonOK[];

// Window commands.
extern const char kMsgFileNotFound[];  // "ファイルが見つかりません"
extern const char kMsgCannotRead[];    // "指定されたファイルは読めません"
// A list opened with the copy an interrupted save left beside it; the two paths follow, each
// after its label.
extern const char kMsgSaveCopyLeft[];
extern const char kSaveCopyListLabel[];  // "リストファイル: "
extern const char kSaveCopyCopyLabel[];  // "保存前のリスト: "
extern const char kMsgOverwrite[];  // "既存のファイルを選択しました。\n\nファイルを更新しますか？"
extern const char kMsgNeedExtension[];  // "実行ファイルの場合は\n\n「拡張子」が必要です"
extern const char kStartMenuPrograms[];  // "\ｽﾀｰﾄ ﾒﾆｭｰ\ﾌﾟﾛｸﾞﾗﾑ"
extern const char kOpenDialog1Title[];   // "実行するファイルの追加"
extern const char kHelpFileName[];       // "pallomar.hlp"
extern const char kHelpPageName[];       // "pallomar-help.html"
// Where the help is the HTML page and it cannot be shown; the page's path follows the text.
extern const char kMsgHelpNotFound[];  // "ヘルプ ファイルが見つかりません。"
extern const char kMsgHelpNoProgram[];  // "ヘルプ ファイルを開くプログラムがありません。"
extern const char kMsgHelpNotOpened[];  // "ヘルプ ファイルを開けませんでした。"

// Layout.
extern const char kFontName[];      // "ＭＳ Ｐゴシック"
extern const char kButtonBrowse[];  // "参照"
extern const char kButtonUp[];      // "▲"
extern const char kButtonDown[];    // "▼"
extern const char kButtonErase[];   // "×"
extern const char kButtonInfo[];    // "確認"
extern const char kHintUp[];
extern const char kHintErase[];
extern const char kHintDown[];
extern const char kHintAdd[];
extern const char kHintDel[];
extern const char kHintInfo[];
extern const char kCheckRunning[];  // "すでに実行中の時は起動しないようにする"
extern const char kLabelList[];     // "実行リスト"
extern const char kLabelFile[];     // "実行するファイル"
extern const char kLabelParams[];   // "実行パラメータ"
extern const char kLabelFolder[];   // "作業フォルダ"
extern const char kLabelWindow[];   // "実行時のウィンドウ"
extern const char kListDefaultAction[];  // "ダブルクリック": what a screen reader offers on a row
extern const char kMenuFile[];
extern const char kMenuNew[];
extern const char kMenuOpen[];
extern const char kMenuSaveAs[];
extern const char kMenuExit[];
extern const char kMenuHelp[];
extern const char kMenuHelpTopics[];
extern const char kMenuAbout[];
extern const char kFilterRun[];   // OpenDialog1's filter
extern const char kFilterList[];  // "Pallomar File(*.plw)|*.plw"

// An error that carries no message of its own.
extern const char kUnexpectedError[];  // "予期しないエラーが発生しました"
extern const char kOutOfMemory[];      // no memory left for what the command needed

}  // namespace pallomar::text
