<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN" sourcelanguage="en">
<context>
    <name>Sonavel</name>
    <message>
        <source>No music</source>
        <translation>没有音乐</translation>
    </message>
    <message>
        <source>Add lossless music via iTunes file sharing</source>
        <translation>请通过 iTunes 文件共享添加无损音乐</translation>
    </message>
    <message>
        <source>Character Encoding</source>
        <translation>字符编码</translation>
    </message>
    <message>
        <source>Sleep Timer</source>
        <translation>定时关闭</translation>
    </message>
    <message>
        <source>NO</source>
        <translation>关闭</translation>
    </message>
    <message>
        <source>Minutes</source>
        <translation>分钟</translation>
    </message>
    <message>
        <source>Backward Step</source>
        <translation>后退秒数</translation>
    </message>
    <message>
        <source>Seconds</source>
        <translation>秒</translation>
    </message>
    <message>
        <source>General</source>
        <translation>通用</translation>
    </message>
    <message>
        <source>FTP</source>
        <translation>FTP</translation>
    </message>
    <message>
        <source>Support</source>
        <translation>支持</translation>
    </message>
    <message>
        <source>Sonavel plays your lossless music: FLAC, Monkey&apos;s Audio, WAV and AIFF, with cue sheets, lyrics and themes.</source>
        <translation>Sonavel 播放您的无损音乐：FLAC、Monkey&apos;s Audio、WAV 和 AIFF，并支持 CUE 分轨、歌词和主题。</translation>
    </message>
    <message>
        <source>Thanks to everyone who translated Sonavel into their language.</source>
        <translation>感谢所有将 Sonavel 翻译成自己母语的人。</translation>
    </message>
    <message>
        <source>Playlist Theme</source>
        <translation>播放列表主题</translation>
    </message>
    <message>
        <source>%d sec</source>
        <translation>%d 秒</translation>
    </message>
    <message>
        <source>iTunes/iCloud Backup</source>
        <translation>iTunes/iCloud 备份</translation>
    </message>
    <message>
        <source>Started</source>
        <translation>已启动</translation>
    </message>
    <message>
        <source>Start FTP Server</source>
        <translation>启动 FTP 服务器</translation>
    </message>
    <message>
        <source>Auto Start</source>
        <translation>自动启动</translation>
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
        <translation>发送反馈</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>设置</translation>
    </message>
    <message>
        <source>Back to playing list</source>
        <translation>返回播放列表</translation>
    </message>
    <message>
        <source>Can not start FTP server</source>
        <translation>无法启动 FTP 服务器</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>%1 Bytes</source>
        <translation>%1 字节</translation>
    </message>
    <message>
        <source>File Size</source>
        <translation>文件大小</translation>
    </message>
    <message>
        <source>Title</source>
        <translation>标题</translation>
    </message>
    <message>
        <source>Artist</source>
        <translation>艺人</translation>
    </message>
    <message>
        <source>Album</source>
        <translation>专辑</translation>
    </message>
    <message>
        <source>Genre</source>
        <translation>流派</translation>
    </message>
    <message>
        <source>Year</source>
        <translation>年份</translation>
    </message>
    <message>
        <source>Track</source>
        <translation>音轨</translation>
    </message>
    <message>
        <source>Invalid name</source>
        <translation>名称无效</translation>
    </message>
    <message>
        <source>Folder already exists</source>
        <translation>文件夹已存在</translation>
    </message>
    <message>
        <source>Can not rename folder</source>
        <translation>无法重命名文件夹</translation>
    </message>
    <message>
        <source>File already exists</source>
        <translation>文件已存在</translation>
    </message>
    <message>
        <source>Can not rename file</source>
        <translation>无法重命名文件</translation>
    </message>
    <message>
        <source>Can not move folders</source>
        <translation>无法移动文件夹</translation>
    </message>
    <message>
        <source>File already exists in target folder</source>
        <translation>目标文件夹中已有同名文件</translation>
    </message>
    <message>
        <source>Can not move file</source>
        <translation>无法移动文件</translation>
    </message>
    <message>
        <source>Can not create folder</source>
        <translation>无法创建文件夹</translation>
    </message>
    <message>
        <source>Select Mode</source>
        <translation>选择模式</translation>
    </message>
    <message>
        <source>All</source>
        <translation>全部</translation>
    </message>
    <message>
        <source>Added %1
</source>
        <translation>已添加 %1 项
</translation>
    </message>
    <message>
        <source>%1 to add
</source>
        <translation>待添加 %1 项
</translation>
    </message>
    <message>
        <source>Folder</source>
        <translation>文件夹</translation>
    </message>
    <message>
        <source>Artists</source>
        <translation>艺人</translation>
    </message>
    <message>
        <source>Albums</source>
        <translation>专辑</translation>
    </message>
    <message>
        <source>Files</source>
        <translation>文件</translation>
    </message>
    <message>
        <source>Playlists</source>
        <translation>播放列表</translation>
    </message>
    <message>
        <source>Help Center</source>
        <translation>帮助中心</translation>
    </message>
    <message>
        <source>help/index.html</source>
        <translation>help/index.html</translation>
    </message>
    <message>
        <source>Main</source>
        <translation>主菜单</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>添加</translation>
    </message>
    <message>
        <source>Edit</source>
        <translation>编辑</translation>
    </message>
    <message>
        <source>Rename</source>
        <translation>重命名</translation>
    </message>
    <message>
        <source>Tap on a playlist to rename</source>
        <translation>轻点播放列表即可重命名</translation>
    </message>
    <message>
        <source>My Playlist</source>
        <translation>我的播放列表</translation>
    </message>
    <message>
        <source>Select All</source>
        <translation>全选</translation>
    </message>
    <message>
        <source>File Info</source>
        <translation>文件信息</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>删除</translation>
    </message>
    <message>
        <source>Play</source>
        <translation>播放</translation>
    </message>
    <message>
        <source>Delete file</source>
        <translation>删除文件</translation>
    </message>
    <message>
        <source>Are you sure?</source>
        <translation>确定吗？</translation>
    </message>
    <message>
        <source>Rename file</source>
        <translation>重命名文件</translation>
    </message>
    <message>
        <source>Select</source>
        <translation>选择</translation>
    </message>
    <message>
        <source>Move</source>
        <translation>移动</translation>
    </message>
    <message>
        <source>Rename folder</source>
        <translation>重命名文件夹</translation>
    </message>
    <message>
        <source>items</source>
        <translation>项</translation>
    </message>
    <message>
        <source>Moving Files</source>
        <translation>移动文件</translation>
    </message>
    <message>
        <source>Move to new folder</source>
        <translation>移到新文件夹</translation>
    </message>
    <message>
        <source>Move to existing folder</source>
        <translation>移到现有文件夹</translation>
    </message>
    <message>
        <source>Name it..</source>
        <translation>输入名称…</translation>
    </message>
    <message>
        <source>Root Folder</source>
        <translation>根目录</translation>
    </message>
    <message>
        <source>Create folder</source>
        <translation>新建文件夹</translation>
    </message>
    <message>
        <source>%1 Tracks</source>
        <translation>%1 首</translation>
    </message>
    <message>
        <source>Western</source>
        <translation>西欧</translation>
    </message>
    <message>
        <source>Chinese Simplified</source>
        <translation>简体中文</translation>
    </message>
    <message>
        <source>Chinese Traditional</source>
        <translation>繁体中文</translation>
    </message>
    <message>
        <source>Japanese</source>
        <translation>日文</translation>
    </message>
    <message>
        <source>Korean</source>
        <translation>韩文</translation>
    </message>
    <message>
        <source>Navigation bar</source>
        <translation>导航栏</translation>
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
        <translation>工具栏</translation>
    </message>
    <message>
        <source>lyrics</source>
        <translation>歌词</translation>
    </message>
    <message>
        <source>Cover Art</source>
        <translation>封面</translation>
    </message>
    <message>
        <source>Shows or hides the seek bar</source>
        <translation>显示或隐藏进度条</translation>
    </message>
    <message>
        <source>Seek panel</source>
        <translation>进度面板</translation>
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
        <translation>暂停</translation>
    </message>
    <message>
        <source>Default</source>
        <translation>顺序播放</translation>
    </message>
    <message>
        <source>Shuffle</source>
        <translation>随机播放</translation>
    </message>
    <message>
        <source>Loop</source>
        <translation>列表循环</translation>
    </message>
    <message>
        <source>Loop on track</source>
        <translation>单曲循环</translation>
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
        <translation>已暂停</translation>
    </message>
    <message>
        <source>Tap on add button to add music.</source>
        <translation>轻点“添加”按钮来添加音乐。</translation>
    </message>
    <message>
        <source>Pause or Play</source>
        <translation>播放/暂停</translation>
    </message>
    <message>
        <source>Toggle play mode</source>
        <translation>切换播放模式</translation>
    </message>
    <message>
        <source>Volume</source>
        <translation>音量</translation>
    </message>
    <message>
        <source>Seek bar</source>
        <translation>进度条</translation>
    </message>
    <message>
        <source>Choose Theme</source>
        <translation>选择主题</translation>
    </message>
</context>
</TS>
