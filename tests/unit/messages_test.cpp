// The message texts are exact Shift-JIS bytes of the Japanese sentences.
#include "common/messages.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace {

std::wstring FromCodePage932(const char* bytes) {
  wchar_t wide[1024] = {};
  int n = MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, bytes, -1, wide, 1024);
  return n > 0 ? std::wstring(wide) : L"<invalid Shift-JIS>";
}

TEST(Messages, TextsAreTheJapaneseSentencesInShiftJis) {
  const std::pair<const char*, const wchar_t*> cases[] = {
      {kMsgSetupIniBroken,
       L"Setup.iniファイルが壊れているか、存在しないため、インストーラを起動できません。"},
      {kMsgPictureNotFoundPrefix, L"サポートしている拡張子を持つ画像ファイル "},
      {kMsgPictureNotFoundSuffix, L" は存在しません。"},
      {kMsgPictureFilePrefix, L"画像ファイル "},
      {kMsgBmpNotTwentyFourBitSuffix,
       L" は24bitグラフィックではありません。\n24bitグラフィック以外は読み込めません。"},
      {kMsgPngColorTypeSuffix,
       L" は 24bit PNG または 24bitアルファチャンネル付きPNG ではありません。\n"
       L"24bit PNG 及び 24bit アルファチャンネル付きPNG 以外は読み込めません。"},
      {kMsgPictureDamagedSuffix, L" は壊れているか、読み込めない形式です。"},
      {kMsgProgressBarTooNarrow,
       L"プログレスバー画像の幅が100ピクセル未満です。\n"
       L"プログレスバー画像には100ピクセル以上の幅を持つ画像を使用してください。"},
      {kMsgInstallCancelled, L"インストールを中止しました。"},
      {kMsgNotEnoughSpace, L"空き領域が足りません。インストールを中止しました。"},
      {kMsgDestinationMissing,
       L"Setup.ini ファイルが異常です。インストール先フォルダが作られていません。"},
      {kMsgDestinationInsidePayload,
       L"インストール先フォルダがインストールするデータの中にあります。インストールを中止しました。"},
      {kMsgPayloadInsideDestination,
       L"インストールするデータがインストール先フォルダの中にあります。インストールを中止しました。"},
      {kMsgFilesNotCopied,
       L"一部のファイルをコピーできませんでした。\nコピーできなかったファイルはインストールされていません。"},
      {kMsgCopyNotStarted, L"ファイルのコピーを開始できませんでした。インストールを中止しました。"},
      {kMsgConfirmUninstall, L"アンインストールを開始します。よろしいですか？"},
      {kMsgUninstallDone, L"アンインストールが完了しました。"},
      {kMsgRecordNameTaken, L"Setup.ini の UninstallIni に指定されたファイルは、アンインストール情報ではない別のファイルです。インストールを中止しました。"},
      {kMsgRecordNotWritten, L"アンインストール情報を書き込めませんでした。インストールしたファイルはそのまま残りますが、このインストーラではアンインストールできません。"},
      {kMsgUninstallIncomplete, L"アンインストールを完了できませんでした。削除できなかったものがあります。確認してから、もう一度アンインストールしてください。"},
      {kMsgChosenFolderPrefix, L"選択されたフォルダ "},
      {kMsgChosenFolderUnusableSuffix, L" は安全に使用できないため、インストールを中止しました。別のフォルダを選択してください。"},
      {kMsgPackageDamaged, L"このインストーラのファイルは壊れているか、変更されています。インストーラを入手し直してください。"},
      {kMsgDllSearchUnsafe,
       L"このシステムではDLLの読み込み先を安全に制限できないため、インストーラを起動できません。"
       L"Windowsを更新してください。"},
      {kMsgInstallFolderUnsafe,
       L"インストール先フォルダを安全に特定できないため、インストールされたファイルは削除しませんでした。"},
  };
  for (const auto& [bytes, text] : cases) EXPECT_EQ(FromCodePage932(bytes), text);
}

}  // namespace
