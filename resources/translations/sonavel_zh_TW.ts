<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_TW" sourcelanguage="en">
<context>
    <name>Sonavel</name>
    <message>
        <source>No music</source>
        <translation>沒有音樂</translation>
    </message>
    <message>
        <source>Add lossless music via iTunes file sharing</source>
        <translation>請透過 iTunes 檔案共享加入無損音樂</translation>
    </message>
    <message>
        <source>Character Encoding</source>
        <translation>文字編碼</translation>
    </message>
    <message>
        <source>Sleep Timer</source>
        <translation>睡眠定時</translation>
    </message>
    <message>
        <source>NO</source>
        <translation>關閉</translation>
    </message>
    <message>
        <source>Minutes</source>
        <translation>分鐘</translation>
    </message>
    <message>
        <source>Backward Step</source>
        <translation>倒退秒數</translation>
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
        <translation>支援</translation>
    </message>
    <message>
        <source>Sonavel plays your lossless music: FLAC, Monkey&apos;s Audio, WAV and AIFF, with cue sheets, lyrics and themes.</source>
        <translation>Sonavel 播放您的無損音樂：FLAC、Monkey&apos;s Audio、WAV 與 AIFF，並支援 CUE 分軌、歌詞與主題。</translation>
    </message>
    <message>
        <source>Thanks to everyone who translated Sonavel into their language.</source>
        <translation>感謝所有將 Sonavel 翻譯成自己母語的人。</translation>
    </message>
    <message>
        <source>Playlist Theme</source>
        <translation>播放清單主題</translation>
    </message>
    <message>
        <source>%d sec</source>
        <translation>%d 秒</translation>
    </message>
    <message>
        <source>iTunes/iCloud Backup</source>
        <translation>iTunes/iCloud 備份</translation>
    </message>
    <message>
        <source>Started</source>
        <translation>已啟動</translation>
    </message>
    <message>
        <source>Start FTP Server</source>
        <translation>啟動 FTP 伺服器</translation>
    </message>
    <message>
        <source>Auto Start</source>
        <translation>自動啟動</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>是</translation>
    </message>
    <message>
        <source>No</source>
        <translation>否</translation>
    </message>
    <message>
        <source>Send Feedback</source>
        <translation>傳送意見回饋</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>設定</translation>
    </message>
    <message>
        <source>Back to playing list</source>
        <translation>返回播放清單</translation>
    </message>
    <message>
        <source>Can not start FTP server</source>
        <translation>無法啟動 FTP 伺服器</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>確定</translation>
    </message>
    <message>
        <source>%1 Bytes</source>
        <translation>%1 位元組</translation>
    </message>
    <message>
        <source>File Size</source>
        <translation>檔案大小</translation>
    </message>
    <message>
        <source>Title</source>
        <translation>標題</translation>
    </message>
    <message>
        <source>Artist</source>
        <translation>演出者</translation>
    </message>
    <message>
        <source>Album</source>
        <translation>專輯</translation>
    </message>
    <message>
        <source>Genre</source>
        <translation>類型</translation>
    </message>
    <message>
        <source>Year</source>
        <translation>年份</translation>
    </message>
    <message>
        <source>Track</source>
        <translation>音軌</translation>
    </message>
    <message>
        <source>Invalid name</source>
        <translation>名稱無效</translation>
    </message>
    <message>
        <source>Folder already exists</source>
        <translation>資料夾已存在</translation>
    </message>
    <message>
        <source>Can not rename folder</source>
        <translation>無法重新命名資料夾</translation>
    </message>
    <message>
        <source>File already exists</source>
        <translation>檔案已存在</translation>
    </message>
    <message>
        <source>Can not rename file</source>
        <translation>無法重新命名檔案</translation>
    </message>
    <message>
        <source>Can not move folders</source>
        <translation>無法移動資料夾</translation>
    </message>
    <message>
        <source>File already exists in target folder</source>
        <translation>目標資料夾中已有同名檔案</translation>
    </message>
    <message>
        <source>Can not move file</source>
        <translation>無法移動檔案</translation>
    </message>
    <message>
        <source>Can not create folder</source>
        <translation>無法建立資料夾</translation>
    </message>
    <message>
        <source>Select Mode</source>
        <translation>選取模式</translation>
    </message>
    <message>
        <source>All</source>
        <translation>全部</translation>
    </message>
    <message>
        <source>Added %1
</source>
        <translation>已加入 %1 項
</translation>
    </message>
    <message>
        <source>%1 to add
</source>
        <translation>待加入 %1 項
</translation>
    </message>
    <message>
        <source>Folder</source>
        <translation>資料夾</translation>
    </message>
    <message>
        <source>Artists</source>
        <translation>演出者</translation>
    </message>
    <message>
        <source>Albums</source>
        <translation>專輯</translation>
    </message>
    <message>
        <source>Files</source>
        <translation>檔案</translation>
    </message>
    <message>
        <source>Playlists</source>
        <translation>播放清單</translation>
    </message>
    <message>
        <source>Help Center</source>
        <translation>說明中心</translation>
    </message>
    <message>
        <source>help/index.html</source>
        <translation>help/index.html</translation>
    </message>
    <message>
        <source>Main</source>
        <translation>主選單</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>加入</translation>
    </message>
    <message>
        <source>Edit</source>
        <translation>編輯</translation>
    </message>
    <message>
        <source>Rename</source>
        <translation>重新命名</translation>
    </message>
    <message>
        <source>Tap on a playlist to rename</source>
        <translation>點一下播放清單即可重新命名</translation>
    </message>
    <message>
        <source>My Playlist</source>
        <translation>我的播放清單</translation>
    </message>
    <message>
        <source>Select All</source>
        <translation>全選</translation>
    </message>
    <message>
        <source>File Info</source>
        <translation>檔案資訊</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>刪除</translation>
    </message>
    <message>
        <source>Play</source>
        <translation>播放</translation>
    </message>
    <message>
        <source>Delete file</source>
        <translation>刪除檔案</translation>
    </message>
    <message>
        <source>Are you sure?</source>
        <translation>確定嗎？</translation>
    </message>
    <message>
        <source>Rename file</source>
        <translation>重新命名檔案</translation>
    </message>
    <message>
        <source>Select</source>
        <translation>選取</translation>
    </message>
    <message>
        <source>Move</source>
        <translation>移動</translation>
    </message>
    <message>
        <source>Rename folder</source>
        <translation>重新命名資料夾</translation>
    </message>
    <message>
        <source>items</source>
        <translation>項</translation>
    </message>
    <message>
        <source>Moving Files</source>
        <translation>移動檔案</translation>
    </message>
    <message>
        <source>Move to new folder</source>
        <translation>移到新資料夾</translation>
    </message>
    <message>
        <source>Move to existing folder</source>
        <translation>移到現有資料夾</translation>
    </message>
    <message>
        <source>Name it..</source>
        <translation>輸入名稱…</translation>
    </message>
    <message>
        <source>Root Folder</source>
        <translation>根目錄</translation>
    </message>
    <message>
        <source>Create folder</source>
        <translation>建立資料夾</translation>
    </message>
    <message>
        <source>%1 Tracks</source>
        <translation>%1 首</translation>
    </message>
    <message>
        <source>Western</source>
        <translation>西歐</translation>
    </message>
    <message>
        <source>Chinese Simplified</source>
        <translation>簡體中文</translation>
    </message>
    <message>
        <source>Chinese Traditional</source>
        <translation>繁體中文</translation>
    </message>
    <message>
        <source>Japanese</source>
        <translation>日文</translation>
    </message>
    <message>
        <source>Korean</source>
        <translation>韓文</translation>
    </message>
    <message>
        <source>Navigation bar</source>
        <translation>導覽列</translation>
    </message>
    <message>
        <source>Back</source>
        <translation>返回</translation>
    </message>
    <message>
        <source>Move Up</source>
        <translation>上移</translation>
    </message>
    <message>
        <source>Move Down</source>
        <translation>下移</translation>
    </message>
    <message>
        <source>Toolbar</source>
        <translation>工具列</translation>
    </message>
    <message>
        <source>lyrics</source>
        <translation>歌詞</translation>
    </message>
    <message>
        <source>Cover Art</source>
        <translation>封面</translation>
    </message>
    <message>
        <source>Shows or hides the seek bar</source>
        <translation>顯示或隱藏進度列</translation>
    </message>
    <message>
        <source>Seek panel</source>
        <translation>進度面板</translation>
    </message>
    <message>
        <source>Previous</source>
        <translation>上一首</translation>
    </message>
    <message>
        <source>Next</source>
        <translation>下一首</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>暫停</translation>
    </message>
    <message>
        <source>Default</source>
        <translation>依序播放</translation>
    </message>
    <message>
        <source>Shuffle</source>
        <translation>隨機播放</translation>
    </message>
    <message>
        <source>Loop</source>
        <translation>重複播放</translation>
    </message>
    <message>
        <source>Loop on track</source>
        <translation>單曲重複</translation>
    </message>
    <message>
        <source>Unknown</source>
        <translation>未知</translation>
    </message>
    <message>
        <source>Now playing</source>
        <translation>正在播放</translation>
    </message>
    <message>
        <source>Paused</source>
        <translation>已暫停</translation>
    </message>
    <message>
        <source>Tap on add button to add music.</source>
        <translation>點一下「加入」按鈕以加入音樂。</translation>
    </message>
    <message>
        <source>Pause or Play</source>
        <translation>播放/暫停</translation>
    </message>
    <message>
        <source>Toggle play mode</source>
        <translation>切換播放模式</translation>
    </message>
    <message>
        <source>Volume</source>
        <translation>音量</translation>
    </message>
    <message>
        <source>Seek bar</source>
        <translation>進度列</translation>
    </message>
    <message>
        <source>Choose Theme</source>
        <translation>選擇主題</translation>
    </message>
</context>
</TS>
