<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ko" sourcelanguage="en">
<context>
    <name>Sonavel</name>
    <message>
        <source>No music</source>
        <translation>음악 없음</translation>
    </message>
    <message>
        <source>Add lossless music via iTunes file sharing</source>
        <translation>iTunes 파일 공유로 무손실 음악을 추가하세요</translation>
    </message>
    <message>
        <source>Character Encoding</source>
        <translation>문자 인코딩</translation>
    </message>
    <message>
        <source>Sleep Timer</source>
        <translation>취침 타이머</translation>
    </message>
    <message>
        <source>NO</source>
        <translation>없음</translation>
    </message>
    <message>
        <source>Minutes</source>
        <translation>분</translation>
    </message>
    <message>
        <source>Backward Step</source>
        <translation>뒤로 건너뛰기</translation>
    </message>
    <message>
        <source>Seconds</source>
        <translation>초</translation>
    </message>
    <message>
        <source>General</source>
        <translation>일반</translation>
    </message>
    <message>
        <source>FTP</source>
        <translation>FTP</translation>
    </message>
    <message>
        <source>Support</source>
        <translation>지원</translation>
    </message>
    <message>
        <source>Sonavel plays your lossless music: FLAC, Monkey&apos;s Audio, WAV and AIFF, with cue sheets, lyrics and themes.</source>
        <translation>Sonavel은 무손실 음악을 재생합니다. FLAC, Monkey&apos;s Audio, WAV, AIFF를 지원하며 큐 시트, 가사, 테마도 쓸 수 있습니다.</translation>
    </message>
    <message>
        <source>Thanks to everyone who translated Sonavel into their language.</source>
        <translation>Sonavel을 각 언어로 번역해 주신 모든 분께 감사드립니다.</translation>
    </message>
    <message>
        <source>Playlist Theme</source>
        <translation>재생 목록 테마</translation>
    </message>
    <message>
        <source>%d sec</source>
        <translation>%d초</translation>
    </message>
    <message>
        <source>iTunes/iCloud Backup</source>
        <translation>iTunes/iCloud 백업</translation>
    </message>
    <message>
        <source>Started</source>
        <translation>실행 중</translation>
    </message>
    <message>
        <source>Start FTP Server</source>
        <translation>FTP 서버 시작</translation>
    </message>
    <message>
        <source>Auto Start</source>
        <translation>자동 시작</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>예</translation>
    </message>
    <message>
        <source>No</source>
        <translation>아니요</translation>
    </message>
    <message>
        <source>Send Feedback</source>
        <translation>피드백 보내기</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>설정</translation>
    </message>
    <message>
        <source>Back to playing list</source>
        <translation>재생 목록으로 돌아가기</translation>
    </message>
    <message>
        <source>Can not start FTP server</source>
        <translation>FTP 서버를 시작할 수 없습니다</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>취소</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>확인</translation>
    </message>
    <message>
        <source>%1 Bytes</source>
        <translation>%1바이트</translation>
    </message>
    <message>
        <source>File Size</source>
        <translation>파일 크기</translation>
    </message>
    <message>
        <source>Title</source>
        <translation>제목</translation>
    </message>
    <message>
        <source>Artist</source>
        <translation>아티스트</translation>
    </message>
    <message>
        <source>Album</source>
        <translation>앨범</translation>
    </message>
    <message>
        <source>Genre</source>
        <translation>장르</translation>
    </message>
    <message>
        <source>Year</source>
        <translation>연도</translation>
    </message>
    <message>
        <source>Track</source>
        <translation>트랙</translation>
    </message>
    <message>
        <source>Invalid name</source>
        <translation>사용할 수 없는 이름입니다</translation>
    </message>
    <message>
        <source>Folder already exists</source>
        <translation>폴더가 이미 있습니다</translation>
    </message>
    <message>
        <source>Can not rename folder</source>
        <translation>폴더 이름을 바꿀 수 없습니다</translation>
    </message>
    <message>
        <source>File already exists</source>
        <translation>파일이 이미 있습니다</translation>
    </message>
    <message>
        <source>Can not rename file</source>
        <translation>파일 이름을 바꿀 수 없습니다</translation>
    </message>
    <message>
        <source>Can not move folders</source>
        <translation>폴더는 이동할 수 없습니다</translation>
    </message>
    <message>
        <source>File already exists in target folder</source>
        <translation>대상 폴더에 같은 이름의 파일이 있습니다</translation>
    </message>
    <message>
        <source>Can not move file</source>
        <translation>파일을 이동할 수 없습니다</translation>
    </message>
    <message>
        <source>Can not create folder</source>
        <translation>폴더를 만들 수 없습니다</translation>
    </message>
    <message>
        <source>Select Mode</source>
        <translation>선택 모드</translation>
    </message>
    <message>
        <source>All</source>
        <translation>전체</translation>
    </message>
    <message>
        <source>Added %1
</source>
        <translation>%1개 추가됨
</translation>
    </message>
    <message>
        <source>%1 to add
</source>
        <translation>추가할 항목 %1개
</translation>
    </message>
    <message>
        <source>Folder</source>
        <translation>폴더</translation>
    </message>
    <message>
        <source>Artists</source>
        <translation>아티스트</translation>
    </message>
    <message>
        <source>Albums</source>
        <translation>앨범</translation>
    </message>
    <message>
        <source>Files</source>
        <translation>파일</translation>
    </message>
    <message>
        <source>Playlists</source>
        <translation>재생 목록</translation>
    </message>
    <message>
        <source>Help Center</source>
        <translation>도움말 센터</translation>
    </message>
    <message>
        <source>help/index.html</source>
        <translation>help/index.html</translation>
    </message>
    <message>
        <source>Main</source>
        <translation>메뉴</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>추가</translation>
    </message>
    <message>
        <source>Edit</source>
        <translation>편집</translation>
    </message>
    <message>
        <source>Rename</source>
        <translation>이름 변경</translation>
    </message>
    <message>
        <source>Tap on a playlist to rename</source>
        <translation>이름을 바꿀 재생 목록을 탭하세요</translation>
    </message>
    <message>
        <source>My Playlist</source>
        <translation>내 재생 목록</translation>
    </message>
    <message>
        <source>Select All</source>
        <translation>모두 선택</translation>
    </message>
    <message>
        <source>File Info</source>
        <translation>파일 정보</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>삭제</translation>
    </message>
    <message>
        <source>Play</source>
        <translation>재생</translation>
    </message>
    <message>
        <source>Delete file</source>
        <translation>파일 삭제</translation>
    </message>
    <message>
        <source>Are you sure?</source>
        <translation>계속하시겠습니까?</translation>
    </message>
    <message>
        <source>Rename file</source>
        <translation>파일 이름 변경</translation>
    </message>
    <message>
        <source>Select</source>
        <translation>선택</translation>
    </message>
    <message>
        <source>Move</source>
        <translation>이동</translation>
    </message>
    <message>
        <source>Rename folder</source>
        <translation>폴더 이름 변경</translation>
    </message>
    <message>
        <source>items</source>
        <translation>개</translation>
    </message>
    <message>
        <source>Moving Files</source>
        <translation>파일 이동</translation>
    </message>
    <message>
        <source>Move to new folder</source>
        <translation>새 폴더로 이동</translation>
    </message>
    <message>
        <source>Move to existing folder</source>
        <translation>기존 폴더로 이동</translation>
    </message>
    <message>
        <source>Name it..</source>
        <translation>이름 입력…</translation>
    </message>
    <message>
        <source>Root Folder</source>
        <translation>최상위 폴더</translation>
    </message>
    <message>
        <source>Create folder</source>
        <translation>폴더 만들기</translation>
    </message>
    <message>
        <source>%1 Tracks</source>
        <translation>%1곡</translation>
    </message>
    <message>
        <source>Western</source>
        <translation>서유럽어</translation>
    </message>
    <message>
        <source>Chinese Simplified</source>
        <translation>중국어 간체</translation>
    </message>
    <message>
        <source>Chinese Traditional</source>
        <translation>중국어 번체</translation>
    </message>
    <message>
        <source>Japanese</source>
        <translation>일본어</translation>
    </message>
    <message>
        <source>Korean</source>
        <translation>한국어</translation>
    </message>
    <message>
        <source>Navigation bar</source>
        <translation>내비게이션 바</translation>
    </message>
    <message>
        <source>Back</source>
        <translation>뒤로</translation>
    </message>
    <message>
        <source>Move Up</source>
        <translation>위로 이동</translation>
    </message>
    <message>
        <source>Move Down</source>
        <translation>아래로 이동</translation>
    </message>
    <message>
        <source>Toolbar</source>
        <translation>도구 모음</translation>
    </message>
    <message>
        <source>lyrics</source>
        <translation>가사</translation>
    </message>
    <message>
        <source>Cover Art</source>
        <translation>앨범 아트</translation>
    </message>
    <message>
        <source>Shows or hides the seek bar</source>
        <translation>탐색 바를 표시하거나 숨깁니다</translation>
    </message>
    <message>
        <source>Seek panel</source>
        <translation>탐색 패널</translation>
    </message>
    <message>
        <source>Previous</source>
        <translation>이전 곡</translation>
    </message>
    <message>
        <source>Next</source>
        <translation>다음 곡</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>일시정지</translation>
    </message>
    <message>
        <source>Default</source>
        <translation>기본</translation>
    </message>
    <message>
        <source>Shuffle</source>
        <translation>셔플</translation>
    </message>
    <message>
        <source>Loop</source>
        <translation>반복</translation>
    </message>
    <message>
        <source>Loop on track</source>
        <translation>한 곡 반복</translation>
    </message>
    <message>
        <source>Unknown</source>
        <translation>알 수 없음</translation>
    </message>
    <message>
        <source>Now playing</source>
        <translation>재생 중</translation>
    </message>
    <message>
        <source>Paused</source>
        <translation>일시정지됨</translation>
    </message>
    <message>
        <source>Tap on add button to add music.</source>
        <translation>추가 버튼을 탭하여 음악을 추가하세요.</translation>
    </message>
    <message>
        <source>Pause or Play</source>
        <translation>재생/일시정지</translation>
    </message>
    <message>
        <source>Toggle play mode</source>
        <translation>재생 모드 전환</translation>
    </message>
    <message>
        <source>Volume</source>
        <translation>볼륨</translation>
    </message>
    <message>
        <source>Seek bar</source>
        <translation>탐색 바</translation>
    </message>
    <message>
        <source>Choose Theme</source>
        <translation>테마 선택</translation>
    </message>
</context>
</TS>
