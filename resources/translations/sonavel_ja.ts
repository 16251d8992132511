<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ja" sourcelanguage="en">
<context>
    <name>Sonavel</name>
    <message>
        <source>No music</source>
        <translation>音楽がありません</translation>
    </message>
    <message>
        <source>Add lossless music via iTunes file sharing</source>
        <translation>iTunesのファイル共有でロスレス音源を追加してください</translation>
    </message>
    <message>
        <source>Character Encoding</source>
        <translation>文字コード</translation>
    </message>
    <message>
        <source>Sleep Timer</source>
        <translation>スリープタイマー</translation>
    </message>
    <message>
        <source>NO</source>
        <translation>なし</translation>
    </message>
    <message>
        <source>Minutes</source>
        <translation>分</translation>
    </message>
    <message>
        <source>Backward Step</source>
        <translation>巻き戻し秒数</translation>
    </message>
    <message>
        <source>Seconds</source>
        <translation>秒</translation>
    </message>
    <message>
        <source>General</source>
        <translation>一般</translation>
    </message>
    <message>
        <source>FTP</source>
        <translation>FTP</translation>
    </message>
    <message>
        <source>Support</source>
        <translation>サポート</translation>
    </message>
    <message>
        <source>Sonavel plays your lossless music: FLAC, Monkey&apos;s Audio, WAV and AIFF, with cue sheets, lyrics and themes.</source>
        <translation>Sonavel はロスレス音源を再生します。FLAC、Monkey&apos;s Audio、WAV、AIFF に対応し、キューシート、歌詞、テーマも使えます。</translation>
    </message>
    <message>
        <source>Thanks to everyone who translated Sonavel into their language.</source>
        <translation>Sonavel を各国語に翻訳してくださった皆さまに感謝します。</translation>
    </message>
    <message>
        <source>Playlist Theme</source>
        <translation>再生リストのテーマ</translation>
    </message>
    <message>
        <source>%d sec</source>
        <translation>%d 秒</translation>
    </message>
    <message>
        <source>iTunes/iCloud Backup</source>
        <translation>iTunes/iCloud バックアップ</translation>
    </message>
    <message>
        <source>Started</source>
        <translation>起動中</translation>
    </message>
    <message>
        <source>Start FTP Server</source>
        <translation>FTP サーバを起動</translation>
    </message>
    <message>
        <source>Auto Start</source>
        <translation>自動起動</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>はい</translation>
    </message>
    <message>
        <source>No</source>
        <translation>いいえ</translation>
    </message>
    <message>
        <source>Send Feedback</source>
        <translation>フィードバックを送信</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>設定</translation>
    </message>
    <message>
        <source>Back to playing list</source>
        <translation>再生リストに戻る</translation>
    </message>
    <message>
        <source>Can not start FTP server</source>
        <translation>FTP サーバを起動できません</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>キャンセル</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>%1 Bytes</source>
        <translation>%1 バイト</translation>
    </message>
    <message>
        <source>File Size</source>
        <translation>ファイルサイズ</translation>
    </message>
    <message>
        <source>Title</source>
        <translation>タイトル</translation>
    </message>
    <message>
        <source>Artist</source>
        <translation>アーティスト</translation>
    </message>
    <message>
        <source>Album</source>
        <translation>アルバム</translation>
    </message>
    <message>
        <source>Genre</source>
        <translation>ジャンル</translation>
    </message>
    <message>
        <source>Year</source>
        <translation>年</translation>
    </message>
    <message>
        <source>Track</source>
        <translation>トラック</translation>
    </message>
    <message>
        <source>Invalid name</source>
        <translation>無効な名前です</translation>
    </message>
    <message>
        <source>Folder already exists</source>
        <translation>同じ名前のフォルダがあります</translation>
    </message>
    <message>
        <source>Can not rename folder</source>
        <translation>フォルダ名を変更できません</translation>
    </message>
    <message>
        <source>File already exists</source>
        <translation>同じ名前のファイルがあります</translation>
    </message>
    <message>
        <source>Can not rename file</source>
        <translation>ファイル名を変更できません</translation>
    </message>
    <message>
        <source>Can not move folders</source>
        <translation>フォルダは移動できません</translation>
    </message>
    <message>
        <source>File already exists in target folder</source>
        <translation>移動先に同じ名前のファイルがあります</translation>
    </message>
    <message>
        <source>Can not move file</source>
        <translation>ファイルを移動できません</translation>
    </message>
    <message>
        <source>Can not create folder</source>
        <translation>フォルダを作成できません</translation>
    </message>
    <message>
        <source>Select Mode</source>
        <translation>選択モード</translation>
    </message>
    <message>
        <source>All</source>
        <translation>すべて</translation>
    </message>
    <message>
        <source>Added %1
</source>
        <translation>%1 件を追加しました
</translation>
    </message>
    <message>
        <source>%1 to add
</source>
        <translation>追加予定 %1 件
</translation>
    </message>
    <message>
        <source>Folder</source>
        <translation>フォルダ</translation>
    </message>
    <message>
        <source>Artists</source>
        <translation>アーティスト</translation>
    </message>
    <message>
        <source>Albums</source>
        <translation>アルバム</translation>
    </message>
    <message>
        <source>Files</source>
        <translation>ファイル</translation>
    </message>
    <message>
        <source>Playlists</source>
        <translation>再生リスト</translation>
    </message>
    <message>
        <source>Help Center</source>
        <translation>ヘルプセンター</translation>
    </message>
    <message>
        <source>help/index.html</source>
        <translation>help/index.html</translation>
    </message>
    <message>
        <source>Main</source>
        <translation>メニュー</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>追加</translation>
    </message>
    <message>
        <source>Edit</source>
        <translation>編集</translation>
    </message>
    <message>
        <source>Rename</source>
        <translation>名前を変更</translation>
    </message>
    <message>
        <source>Tap on a playlist to rename</source>
        <translation>名前を変える再生リストをタップ</translation>
    </message>
    <message>
        <source>My Playlist</source>
        <translation>マイ再生リスト</translation>
    </message>
    <message>
        <source>Select All</source>
        <translation>すべて選択</translation>
    </message>
    <message>
        <source>File Info</source>
        <translation>ファイル情報</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>削除</translation>
    </message>
    <message>
        <source>Play</source>
        <translation>再生</translation>
    </message>
    <message>
        <source>Delete file</source>
        <translation>ファイルを削除</translation>
    </message>
    <message>
        <source>Are you sure?</source>
        <translation>よろしいですか？</translation>
    </message>
    <message>
        <source>Rename file</source>
        <translation>ファイル名を変更</translation>
    </message>
    <message>
        <source>Select</source>
        <translation>選択</translation>
    </message>
    <message>
        <source>Move</source>
        <translation>移動</translation>
    </message>
    <message>
        <source>Rename folder</source>
        <translation>フォルダ名を変更</translation>
    </message>
    <message>
        <source>items</source>
        <translation>件</translation>
    </message>
    <message>
        <source>Moving Files</source>
        <translation>ファイルの移動</translation>
    </message>
    <message>
        <source>Move to new folder</source>
        <translation>新しいフォルダへ移動</translation>
    </message>
    <message>
        <source>Move to existing folder</source>
        <translation>既存のフォルダへ移動</translation>
    </message>
    <message>
        <source>Name it..</source>
        <translation>名前を入力…</translation>
    </message>
    <message>
        <source>Root Folder</source>
        <translation>最上位フォルダ</translation>
    </message>
    <message>
        <source>Create folder</source>
        <translation>フォルダを作成</translation>
    </message>
    <message>
        <source>%1 Tracks</source>
        <translation>%1 曲</translation>
    </message>
    <message>
        <source>Western</source>
        <translation>西欧</translation>
    </message>
    <message>
        <source>Chinese Simplified</source>
        <translation>簡体字中国語</translation>
    </message>
    <message>
        <source>Chinese Traditional</source>
        <translation>繁体字中国語</translation>
    </message>
    <message>
        <source>Japanese</source>
        <translation>日本語</translation>
    </message>
    <message>
        <source>Korean</source>
        <translation>韓国語</translation>
    </message>
    <message>
        <source>Navigation bar</source>
        <translation>ナビゲーションバー</translation>
    </message>
    <message>
        <source>Back</source>
        <translation>戻る</translation>
    </message>
    <message>
        <source>Move Up</source>
        <translation>上へ移動</translation>
    </message>
    <message>
        <source>Move Down</source>
        <translation>下へ移動</translation>
    </message>
    <message>
        <source>Toolbar</source>
        <translation>ツールバー</translation>
    </message>
    <message>
        <source>lyrics</source>
        <translation>歌詞</translation>
    </message>
    <message>
        <source>Cover Art</source>
        <translation>アートワーク</translation>
    </message>
    <message>
        <source>Shows or hides the seek bar</source>
        <translation>シークバーを表示または非表示にします</translation>
    </message>
    <message>
        <source>Seek panel</source>
        <translation>シークパネル</translation>
    </message>
    <message>
        <source>Previous</source>
        <translation>前の曲</translation>
    </message>
    <message>
        <source>Next</source>
        <translation>次の曲</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>一時停止</translation>
    </message>
    <message>
        <source>Default</source>
        <translation>通常</translation>
    </message>
    <message>
        <source>Shuffle</source>
        <translation>シャッフル</translation>
    </message>
    <message>
        <source>Loop</source>
        <translation>リピート</translation>
    </message>
    <message>
        <source>Loop on track</source>
        <translation>1曲リピート</translation>
    </message>
    <message>
        <source>Unknown</source>
        <translation>不明</translation>
    </message>
    <message>
        <source>Now playing</source>
        <translation>再生中</translation>
    </message>
    <message>
        <source>Paused</source>
        <translation>一時停止中</translation>
    </message>
    <message>
        <source>Tap on add button to add music.</source>
        <translation>追加ボタンをタップして音楽を追加してください。</translation>
    </message>
    <message>
        <source>Pause or Play</source>
        <translation>再生／一時停止</translation>
    </message>
    <message>
        <source>Toggle play mode</source>
        <translation>再生モードを切り替え</translation>
    </message>
    <message>
        <source>Volume</source>
        <translation>音量</translation>
    </message>
    <message>
        <source>Seek bar</source>
        <translation>シークバー</translation>
    </message>
    <message>
        <source>Choose Theme</source>
        <translation>テーマを選択</translation>
    </message>
</context>
</TS>
