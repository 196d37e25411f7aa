// Written in UTF-8; the build compiles this file to code page 932.
#include "texts.h"

namespace pallomar::text {

const char kAppCaption[] = "Pallomar Ver. 1.02";
const char kAppCaptionPrefix[] = "Pallomar Ver. 1.02 - ";
const char kAboutText[] = "Pallomar Ver. 1.02\n\nCopyright (C) 2026 Pallomar team";

const char kNotAnInteger[] = "'%s' は整数ではありません";
const char kDetailsPath[] = "実行するファイル : ";
const char kDetailsParams[] = "実行パラメータ : ";
const char kDetailsFolder[] = "作業フォルダ : ";
const char kDetailsWindow[] = "ウィンドウサイズ : ";
const char kDetailsRunCheck[] = "実行中チェック : ";
const char kWindowNormal[] = "通常";
const char kWindowMaximized[] = "最大化";
const char kWindowMinimized[] = "最小化";
const char kRunCheckOn[] = "する";
const char kRunCheckOff[] = "しない";
const char kListFileTooLarge[] = "リストファイルが大きすぎます";
const char kListLineTooLong[] = "リストファイルの行が長すぎます";
const char kEntryTextTooLong[] = "項目のテキストが長すぎます";

const char kIoFileNotFound[] = "ファイルが見つかりません";
const char kIoInvalidName[] = "不正なファイル名です";
const char kIoTooManyOpen[] = "オープンしたファイルが多すぎます";
const char kIoAccessDenied[] = "ファイルへのアクセスが拒否されました";
const char kIoReadPastEnd[] = "ファイルの末尾以降を読み込みました";
const char kIoDiskFull[] = "ディスクがいっぱいです";
const char kIoNotNumeric[] = "入力値が数値ではありません";
const char kIoOtherFormat[] = "I/O エラー (%d)";

const char kCaptionWarning[] = "警告";
const char kCaptionError[] = "エラー";
const char kCaptionInformation[] = "情報";
const char kCaptionConfirmation[] = "確認";
const char kButtonYes[] = "はい(&Y)";
const char kButtonNo[] = "いいえ(&N)";
const char kButtonOK[] = "OK";

const char kMsgFileNotFound[] = "ファイルが見つかりません";
const char kMsgCannotRead[] = "指定されたファイルは読めません";
const char kMsgSaveCopyLeft[] =
    "このリストファイルの前回の保存は、途中で終わっています。リストファイルは壊れているかもしれませ"
    "ん。\n"
    "保存前のリストは、下の「保存前のリスト」のファイルにそのまま残っています。\n"
    "2 つを見比べて正しいほうをリストファイルとして残し、もう 1 つはご自分で削除してください。";
const char kSaveCopyListLabel[] = "リストファイル: ";
const char kSaveCopyCopyLabel[] = "保存前のリスト: ";
const char kMsgOverwrite[] = "既存のファイルを選択しました。\n\nファイルを更新しますか？";
const char kMsgNeedExtension[] = "実行ファイルの場合は\n\n「拡張子」が必要です";
const char kStartMenuPrograms[] = "\\ｽﾀｰﾄ ﾒﾆｭｰ\\ﾌﾟﾛｸﾞﾗﾑ";
const char kOpenDialog1Title[] = "実行するファイルの追加";
const char kHelpFileName[] = "pallomar.hlp";
const char kHelpPageName[] = "pallomar-help.html";
const char kMsgHelpNotFound[] = "ヘルプ ファイルが見つかりません。";
const char kMsgHelpNoProgram[] = "ヘルプ ファイルを開くプログラムがありません。";
const char kMsgHelpNotOpened[] = "ヘルプ ファイルを開けませんでした。";

const char kFontName[] = "ＭＳ Ｐゴシック";
const char kButtonBrowse[] = "参照";
const char kButtonUp[] = "▲";
const char kButtonDown[] = "▼";
const char kButtonErase[] = "×";
const char kButtonInfo[] = "確認";
const char kHintUp[] = "選択アイテムを上に移動します";
const char kHintErase[] = "選択アイテムを削除します";
const char kHintDown[] = "選択アイテムを下に移動します";
const char kHintAdd[] = "リストに追加します";
const char kHintDel[] = "リストから取り出します";
const char kHintInfo[] = "選択アイテムの設定を表示します";
const char kCheckRunning[] = "すでに実行中の時は起動しないようにする";
const char kLabelList[] = "実行リスト";
const char kLabelFile[] = "実行するファイル";
const char kLabelParams[] = "実行パラメータ";
const char kLabelFolder[] = "作業フォルダ";
const char kLabelWindow[] = "実行時のウィンドウ";
const char kListDefaultAction[] = "ダブルクリック";
const char kMenuFile[] = "ﾌｧｲﾙ(&F)";
const char kMenuNew[] = "新規作成(&N)";
const char kMenuOpen[] = "開く(&O)";
const char kMenuSaveAs[] = "名前をつけて保存(&S)";
const char kMenuExit[] = "終了(&X)";
const char kMenuHelp[] = "ﾍﾙﾌﾟ(&H)";
const char kMenuHelpTopics[] = "ﾄﾋﾟｯｸの検索(&H)";
const char kMenuAbout[] = "ﾊﾞｰｼﾞｮﾝ情報(&A)";
const char kFilterRun[] =
    "実行ﾌｧｲﾙ(*.exe, *.com, *.lnk, *.pif)|*.exe;*.com;*.lnk;*.pif|すべてのﾌｧｲﾙ(*.*)|*.*";
const char kFilterList[] = "Pallomar File(*.plw)|*.plw";
const char kUnexpectedError[] = "予期しないエラーが発生しました";
const char kOutOfMemory[] = "メモリが不足しています";

}  // namespace pallomar::text
